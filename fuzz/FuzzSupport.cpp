#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QtGlobal>

namespace FuzzSupport {

namespace {

void dropMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "qFatal: %s\n", qPrintable(message));
        std::abort();
    }
}

} // namespace

} // namespace FuzzSupport

// libFuzzer calls this once before the first input.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qInstallMessageHandler(FuzzSupport::dropMessage);
    if (FuzzSupport::setUp)
        FuzzSupport::setUp(*argc, *argv);
    return 0;
}

namespace FuzzSupport {

QString scratchPath(const char *name)
{
    // Parallel fuzz jobs share TMPDIR; each process keeps to a folder of
    // its own, so inputs may name their neighbours by relative paths.
    static const QString folder = [] {
        const QString path = QDir::tempPath()
                             + QStringLiteral("/station-fuzz-%1").arg(QCoreApplication::applicationPid());
        if (!QDir().mkpath(path))
            std::abort();
        return path;
    }();
    return folder + QLatin1Char('/') + QString::fromLatin1(name);
}

QString writeInput(const uint8_t *data, size_t size, const char *suffix)
{
    const QString path = scratchPath("input") + QString::fromLatin1(suffix);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    if (file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        std::abort();
    return path;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace FuzzSupport
