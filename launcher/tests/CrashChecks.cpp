#include "CrashChecks.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QtTest>

static const QString boxTitle = QStringLiteral("Application crashed");

static QString xdotool(const QStringList &arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    tool.waitForFinished(10000);
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

// The X window of the apology box, once it is on the screen; empty when none
// came within 20 s.
static QString waitForBox()
{
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        const QString found = xdotool({"search", "--onlyvisible", "--name", "^" + boxTitle + "$"});
        if (!found.isEmpty())
            return found.section('\n', 0, 0);
        QTest::qWait(100);
    }
    return QString();
}

// The error address the launcher logged, once it logged all four values.
static QString loggedAddress(LauncherRun &run)
{
    if (!run.waitForOutput("errPara:"))
        return QString();
    static const QRegularExpression line(QStringLiteral("^errAddr:  \"([0-9a-f]+)\"$"),
                                         QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(run.standardError())).captured(1);
}

static QImage shot(const QPixmap &pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
}

// Whether the box shows `text` where the message goes, pixel for pixel as a
// box with that text drawn here. Closes the box with the Return key either
// way.
static bool showsAndClose(const QString &window, const QString &text)
{
    QMessageBox expected(QMessageBox::Critical, boxTitle, text, QMessageBox::Ok);
    expected.show();
    if (!QTest::qWaitForWindowExposed(&expected))
        return false;
    // Out of the way of the box, which sits in the middle of the screen.
    expected.move(expected.screen()->geometry().bottomRight() - expected.rect().bottomRight());
    const QLabel *label = expected.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    const QRect message(label->mapTo(&expected, QPoint(0, 0)), label->size());
    // Drawn by the widget itself, so whatever covers it on the screen does
    // not matter.
    const QImage wanted = shot(expected.grab());
    QImage seen;
    // The box may be on the screen before it is painted.
    QDeadlineTimer deadline(10000);
    do {
        QTest::qWait(50);
        seen = shot(expected.screen()->grabWindow(window.toULongLong()));
    } while ((seen.size() != wanted.size() || seen.copy(message) != wanted.copy(message))
             && !deadline.hasExpired());
    xdotool({"windowfocus", "--sync", window});
    xdotool({"key", "Return"});
    return seen.size() == wanted.size() && seen.copy(message) == wanted.copy(message);
}

static QString boxText(const QString &code, const QString &address)
{
    return QStringLiteral("We sincerely apologize for the software bug! \n error code: %1\n error address: %2")
        .arg(code, address);
}

QString closeApology(LauncherRun &run, const QString &code, QString &address)
{
    const QString box = waitForBox();
    if (box.isEmpty())
        return "no box; log: " + QString::fromUtf8(run.standardError());
    address = loggedAddress(run);
    if (address.isEmpty())
        return "no address logged; log: " + QString::fromUtf8(run.standardError());
    if (!showsAndClose(box, boxText(code, address)))
        return QStringLiteral("the box does not show code %1 and address %2").arg(code, address);
    if (!run.waitForFinished() || run.process().exitStatus() != QProcess::CrashExit)
        return QStringLiteral("the launcher did not end of its crash");
    return QString();
}

QStringList reportFiles()
{
    return QDir(LauncherInstall::logsFolder()).entryList(QDir::Files);
}

bool inCodeOf(const QByteArray &report, const QByteArray &libraryFile, quint64 address)
{
    const QByteArray map = report.mid(report.indexOf("memory map:\n"));
    for (const QByteArray &line : map.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || !fields.at(5).endsWith("/" + libraryFile) || !fields.at(1).contains('x'))
            continue;
        const QList<QByteArray> range = fields.at(0).split('-');
        if (address >= range.at(0).toULongLong(nullptr, 16) && address < range.at(1).toULongLong(nullptr, 16))
            return true;
    }
    return false;
}

QList<quint64> backtraceOf(const QByteArray &report)
{
    const int start = report.indexOf("\nbacktrace:\n");
    const int end = report.indexOf("memory map:\n", start);
    if (start < 0 || end < 0)
        return {};
    static const QRegularExpression address(QStringLiteral("^[0-9a-f]{1,16}$"));
    QList<quint64> frames;
    const QByteArray lines = report.mid(start + 12, end - start - 12);
    for (const QByteArray &line : lines.split('\n')) {
        if (line.isEmpty())
            continue;
        if (!address.match(QString::fromLatin1(line)).hasMatch())
            return {};
        frames << line.toULongLong(nullptr, 16);
    }
    return frames;
}

Report onlyReport()
{
    const QStringList files = reportFiles();
    if (files.size() != 1)
        return Report();
    QFile file(LauncherInstall::logsFolder() + '/' + files.first());
    if (!file.open(QIODevice::ReadOnly))
        return Report();
    return Report{files.first(), file.readAll()};
}
