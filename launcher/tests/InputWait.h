#pragma once

#include <QCoreApplication>
#include <QSocketNotifier>

#include <unistd.h>

// Runs the event loop, as a user interface would, until the test closes the
// program's standard input.
inline void runEventLoopUntilInputCloses()
{
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            QCoreApplication::quit();
    });
    QCoreApplication::exec();
}
