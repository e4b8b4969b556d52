#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "LauncherInstall.h"

// What a crashed launcher shows and leaves, checked as a person and a
// support engineer would: the apology box on the display, the log, the
// crash reports in the logs folder.

// The X window of the apology box, once it is on the screen; empty when none
// came within 20 s.
QString waitForBox();

// Whether the box shows `text` where the message goes, pixel for pixel as a
// box with that text drawn by the test. Closes the box with the Return key
// either way.
bool showsAndClose(const QString &window, const QString &text);

// The message of the apology box.
QString boxText(const QString &code, const QString &address);

// The error address the launcher logged, once it logged all four values.
QString loggedAddress(LauncherRun &run);

// The files in the logs folder.
QStringList reportFiles();

// Whether a report's memory map puts `address` in executable memory of the
// library with the file name `libraryFile`.
bool inCodeOf(const QByteArray &report, const QByteArray &libraryFile, quint64 address);
