#pragma once

#include <QLibrary>
#include <QString>

#include "INQCore.h"

// The run-time binding to the messaging library. Its users keep one as a
// function-local static, so the library is loaded on first use and stays
// loaded until the process ends.
class NQCoreLibrary
{
public:
    // The library beside the running program, or by name where the loader
    // finds it.
    NQCoreLibrary();
    explicit NQCoreLibrary(const QString &fileName);
    ~NQCoreLibrary();

    NQCoreLibrary(const NQCoreLibrary &) = delete;
    NQCoreLibrary &operator=(const NQCoreLibrary &) = delete;

    // Null when the library or its entry point could not be had; the failure
    // has then been logged once, here.
    INQCore *core;

private:
    QLibrary lib;
};
