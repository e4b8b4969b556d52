#pragma once

#include <QString>
#include <QStringList>

// A process-wide record of calls, shared by the test module libraries and
// the tests that load them. It lives in a library of its own so that it
// outlives every module that writes to it, unloading included.
namespace calllog {

void record(const QString &entry);
QStringList entries();
int count(const QString &entry);
void clear();

} // namespace calllog
