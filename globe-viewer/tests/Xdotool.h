#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

// The pointer, the keyboard and the windows of the test's display, driven
// as a person would through the X server.
inline bool xdotool(const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return false;
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}
