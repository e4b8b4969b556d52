#include <QtTest>

// An installation is one folder. Copied somewhere else it still runs: the
// launcher loads the framework beside it, the framework loads the options
// module that Module.xml lists, and a main user interface module that asks
// for the options service gets the operator's defaults written for it.
class InstallationTest : public QObject
{
    Q_OBJECT

private slots:
    void copiedInstallationRunsTheFrameworkWithTheOptionsModule();

private:
    static bool copyFolder(const QString &from, const QString &to);
    static bool addMainUI(const QString &installation);
};

bool InstallationTest::copyFolder(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        const bool copied = it.fileInfo().isDir() ? QDir().mkpath(target) : QFile::copy(source, target);
        if (!copied)
            return false;
    }
    return true;
}

// The example Module.xml lists the options module; the installation that
// the station ships would list its main user interface beside it.
bool InstallationTest::addMainUI(const QString &installation)
{
    if (!QFile::copy(QStringLiteral(OPTIONS_PROBE_MODULE), installation + "/libOptionsProbe.so"))
        return false;
    QFile file(installation + "/Module.xml");
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QString text = QString::fromUtf8(file.readAll());
    text.replace("    </Modules>", "        <Module name=\"probe\" path=\"OptionsProbe\"/>\n    </Modules>");
    text.replace("    </Services>",
                 "        <Service name=\"MainUIService\" module=\"probe\" life=\"0\"/>\n    </Services>");
    file.resize(0);
    return file.write(text.toUtf8()) > 0;
}

void InstallationTest::copiedInstallationRunsTheFrameworkWithTheOptionsModule()
{
    QTemporaryDir root;
    const QString installation = root.filePath("station");
    QVERIFY(QDir().mkpath(installation));
    QVERIFY(copyFolder(QStringLiteral(STATION_BIN_DIR), installation));
    QVERIFY(addMainUI(installation));

    const QString dataHome = root.filePath("data");
    QProcess launcher;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", dataHome);
    launcher.setProcessEnvironment(environment);
    launcher.setProcessChannelMode(QProcess::MergedChannels);
    launcher.setWorkingDirectory(root.path());
    launcher.start(installation + "/Optivane", QStringList());
    QVERIFY(launcher.waitForFinished(120000));
    const QString output = QString::fromUtf8(launcher.readAll());
    QCOMPARE(launcher.exitStatus(), QProcess::NormalExit);
    QCOMPARE(launcher.exitCode(), 255);

    int from = 0;
    for (const QString line : {"probe: MoveSpeed 10", "probe: LastURL rtsp://192.168.144.108:554",
                               "probe: saved 1", "probe: RunMainUI", "unload Core"}) {
        from = output.indexOf(line, from);
        QVERIFY2(from >= 0, qPrintable(line + " missing in:\n" + output));
    }

    // The defaults were written into the launcher's own data folder, beside
    // its logs, and the probe's change was saved there.
    QFile options(dataHome + "/Optivane/OptionsNewUI.xml");
    QVERIFY(options.open(QIODevice::ReadOnly));
    const QByteArray saved = options.readAll();
    QVERIFY(saved.contains("<item name=\"MoveSpeed\" type=\"0\">12</item>"));
    QVERIFY(saved.contains("<item name=\"Button9\" type=\"0\">0</item>"));
    QVERIFY(QFileInfo(dataHome + "/Optivane/logs").isDir());
}

QTEST_GUILESS_MAIN(InstallationTest)
#include "tst_installation.moc"
