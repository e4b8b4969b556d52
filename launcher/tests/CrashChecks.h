#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "LauncherInstall.h"

// What a crashed launcher shows and leaves, checked as a person and a
// support engineer would: the apology box on the display, the log, the
// crash reports in the logs folder.

// Waits for the apology box of a launcher that crashed with `code`, checks
// that the box shows the code and the logged address, closes it and waits
// for the launcher to die of its crash. Returns what went wrong, or nothing;
// `address` receives the logged address.
QString closeApology(LauncherRun &run, const QString &code, QString &address);

// The files in the logs folder.
QStringList reportFiles();

// The name and content of the one file in the logs folder; no name when
// there is not exactly one.
struct Report
{
    QString name;
    QByteArray content;
};
Report onlyReport();

// The return addresses of a report's backtrace; none unless every line of
// it is a bare hexadecimal address.
QList<quint64> backtraceOf(const QByteArray &report);

// Whether a report's memory map puts `address` in executable memory of the
// library with the file name `libraryFile`.
bool inCodeOf(const QByteArray &report, const QByteArray &libraryFile, quint64 address);
