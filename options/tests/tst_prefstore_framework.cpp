#include <QtTest>

// The options module in an installation: the launcher starts the framework,
// which loads the module from Module.xml when a main UI module asks for its
// service, and the first request writes the default user options. The
// operator's options survive a bad value, the service's uninitialisation
// and files that cannot be read or written back as they are.
class PrefstoreFrameworkTest : public QObject
{
    Q_OBJECT

private slots:
    void frameworkLoadsTheModuleAndDefaultsAreWritten();
    void unreadableUserOptionsAreSetAside_data();
    void unreadableUserOptionsAreSetAside();
    void whatTheFilesHoldSurvivesASave_data();
    void whatTheFilesHoldSurvivesASave();
};

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray fixture(const char *name)
{
    return readAll(QStringLiteral(STATION_TEST_DATA_DIR "/") + QLatin1String(name));
}

// Far deeper than a reader that recurses once per level can follow.
QByteArray nested200000Deep(const QByteArray &root, const QByteArray &tag)
{
    const int depth = 200000;
    return "<" + root + ">" + QByteArray("<" + tag + ">").repeated(depth)
        + QByteArray("</" + tag + ">").repeated(depth) + "</" + root + ">";
}

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), qint64(content.size()));
}

// One run of the station in an installation of its own: the launcher, the
// framework, the options module and a main UI module that uses the options
// service and reports what it sees ("probe: ..." lines).
class Station
{
public:
    QString userOptionsPath() const { return m_dataHome.path() + "/Optivane/OptionsNewUI.xml"; }
    QString tablePath() const { return m_installation.path() + "/DeviceCapabilities.xml"; }

    void install()
    {
        const QDir here(QCoreApplication::applicationDirPath());
        const QDir bin(QStringLiteral(STATION_BIN_DIR));
        const QDir fixtures(QStringLiteral(STATION_TEST_DATA_DIR "/installation"));
        QStringList files{bin.filePath("Optivane"), bin.filePath("libCore.so"),
                          bin.filePath("libPrefstore.so"), here.filePath("libOptionsProbe.so")};
        for (const QString &name : fixtures.entryList(QDir::Files))
            files << fixtures.filePath(name);
        for (const QString &file : qAsConst(files))
            QVERIFY2(QFile::copy(file, QDir(m_installation.path()).filePath(QFileInfo(file).fileName())),
                     qPrintable(file));
    }

    void run()
    {
        QProcess launcher;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", m_dataHome.path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        launcher.setProcessEnvironment(environment);
        launcher.setProcessChannelMode(QProcess::MergedChannels);
        launcher.start(QDir(m_installation.path()).filePath("Optivane"), QStringList());
        QVERIFY(launcher.waitForFinished(60000));
        m_output = QString::fromUtf8(launcher.readAll());
        // The launcher always ends itself with -1 once the framework returns.
        QVERIFY2(launcher.exitStatus() == QProcess::NormalExit && launcher.exitCode() == 255,
                 qPrintable(m_output.right(3000)));
    }

    // Each pattern is found after where the one before it matched.
    void expectInOrder(const QStringList &patterns) const
    {
        int from = 0;
        for (const QString &pattern : patterns) {
            const QRegularExpressionMatch match =
                QRegularExpression(pattern, QRegularExpression::MultilineOption).match(m_output, from);
            QVERIFY2(match.hasMatch(), qPrintable(pattern + " missing in:\n" + m_output.right(3000)));
            from = match.capturedEnd();
        }
    }

    void expectSaved(const QStringList &items) const
    {
        const QByteArray content = readAll(userOptionsPath());
        for (const QString &item : items)
            QVERIFY2(content.contains(item.toUtf8()), qPrintable(item + " missing in:\n" + content));
    }

private:
    QTemporaryDir m_installation;
    QTemporaryDir m_dataHome;
    QString m_output;
};

QString escaped(const QString &text)
{
    return QRegularExpression::escape(text);
}

} // namespace

void PrefstoreFrameworkTest::frameworkLoadsTheModuleAndDefaultsAreWritten()
{
    Station station;
    station.install();
    station.run();
    if (QTest::currentTestFailed())
        return;
    station.expectInOrder({"probe: MoveSpeed 10", "probe: LastURL rtsp://192\\.168\\.144\\.108:554",
                           "probe: model Dual", "probe: lenses 2", "probe: saved 1", "probe: RunMainUI",
                           "probe: saved after uninitialise 0"});

    // The user options live in the per-user data folder named after the
    // program that hosts the framework; the good change made there was
    // saved, nothing after the uninitialisation was.
    station.expectSaved({"<item name=\"MoveSpeed\" type=\"0\">12</item>",
                         "<item name=\"ZoomSpeed\" type=\"0\">4</item>",
                         "<item name=\"LastURL\" type=\"2\">rtsp://192.168.144.108:554</item>"});
}

void PrefstoreFrameworkTest::unreadableUserOptionsAreSetAside_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason"); // %1: the file's path

    const QString parseFailed = "parse file failed at line ";
    QTest::newRow("unescaped ampersand") << fixture("unescaped-ampersand.xml") << parseFailed;
    QTest::newRow("cut short") << fixture("broken.xml") << parseFailed;
    QTest::newRow("empty") << fixture("empty.xml") << parseFailed;
    QTest::newRow("nested 200,000 deep") << nested200000Deep("options", "section")
                                         << parseFailed + ".*nested more than 256 deep in %1";
}

// The file is kept byte for byte under a name that says why, and the station
// goes on as without one: defaults written, the operator's change saved,
// even when another module asks for the options before the save.
void PrefstoreFrameworkTest::unreadableUserOptionsAreSetAside()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);

    Station station;
    station.install();
    writeFile(station.userOptionsPath(), content);
    station.run();
    if (QTest::currentTestFailed())
        return;

    const QFileInfo user(station.userOptionsPath());
    const QStringList aside = user.dir().entryList({user.fileName() + ".unreadable-*"}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    const QString asidePath = user.dir().filePath(aside.first());
    QCOMPARE(readAll(asidePath), content);
    station.expectInOrder({reason.replace("%1", escaped(user.filePath())),
                           "options file cannot be read, moved aside: .*" + escaped(user.filePath())
                               + ".*" + escaped(asidePath),
                           "probe: MoveSpeed 10", "probe: saved 1"});
    station.expectSaved({"<item name=\"MoveSpeed\" type=\"0\">12</item>",
                         "<item name=\"LastURL\" type=\"2\">rtsp://192.168.144.108:554</item>",
                         "<item name=\"Button9\" type=\"0\">0</item>"});
}

void PrefstoreFrameworkTest::whatTheFilesHoldSurvivesASave_data()
{
    QTest::addColumn<bool>("isTable"); // else the user options
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("logged"); // %1: the file's path
    QTest::addColumn<QStringList>("saved");

    const QString movedTo12 = "<item name=\"MoveSpeed\" type=\"0\">12</item>";
    QTest::newRow("item types this module does not know")
        << false << fixture("unknown-types.xml") << QStringList{"probe: saved 1"}
        << QStringList{"<item name=\"NoType\">fast</item>", "<item name=\"Future\" type=\"7\">a, b</item>",
                       "<item name=\"Negative\" type=\"-1\">12</item>",
                       "<item name=\"Word\" type=\"two\">text</item>", movedTo12};
    // Refused as they load, as a set refuses them, so that the good values
    // around them are still saved.
    QTest::newRow("character references no file can hold")
        << false << fixture("character-reference.xml")
        << QStringList{"cannot carry it: +\"ConnectConfig\" \"LastURL\"", "cannot carry it: +\"Bad.*Name\" \"Lost\"",
                       "probe: MoveSpeed", "probe: saved 1"}
        << QStringList{"<item name=\"LastTCPGimbalIP\" type=\"2\">10.20.0.7</item>", movedTo12};
    QTest::newRow("an entity that holds no markup")
        << false << fixture("entity-without-markup.xml") << QStringList{"probe: saved 1"}
        << QStringList{"<item name=\"Operator\" type=\"2\">A" + QString(QChar(0xA0)) + "B</item>", movedTo12};
    QTest::newRow("capability table nested 200,000 deep")
        << true << nested200000Deep("DeviceCapabilities", "model")
        << QStringList{"nested more than 256 deep in %1", "probe: lenses 0", "probe: saved 1"}
        << QStringList{movedTo12};
}

void PrefstoreFrameworkTest::whatTheFilesHoldSurvivesASave()
{
    QFETCH(bool, isTable);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, logged);
    QFETCH(QStringList, saved);

    Station station;
    station.install();
    const QString path = isTable ? station.tablePath() : station.userOptionsPath();
    if (isTable)
        QFile::remove(path);
    writeFile(path, content);
    station.run();
    if (QTest::currentTestFailed())
        return;

    for (QString &pattern : logged)
        pattern.replace("%1", escaped(path));
    station.expectInOrder(logged);
    station.expectSaved(saved);
    // The installation's table is only read, never moved or written.
    if (isTable)
        QCOMPARE(readAll(path), content);
}

QTEST_GUILESS_MAIN(PrefstoreFrameworkTest)
#include "tst_prefstore_framework.moc"
