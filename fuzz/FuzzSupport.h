#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// What every fuzz target needs around the code it drives.
namespace FuzzSupport {

// What a target prepares once before its first input, if it needs more
// than the common start (Qt's log lines dropped: they would drown
// libFuzzer's own output and slow every run down; a fatal one still ends
// the run). Defined by the targets that need it.
void setUp(int &argc, char **argv) __attribute__((weak));

// The loaders under test read files, so the input goes to a file in a
// folder of this process's own first (in TMPDIR), rewritten on every call.
QString writeInput(const uint8_t *data, size_t size, const char *suffix = ".xml");
QString scratchPath(const char *name);

QByteArray readAll(const QString &path);

} // namespace FuzzSupport

// A broken invariant is a finding: libFuzzer keeps the input that broke it.
#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__,  \
                         #condition);                                                  \
            std::abort();                                                              \
        }                                                                              \
    } while (false)
