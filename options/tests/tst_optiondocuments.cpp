#include <QtTest>

#include <sys/resource.h>
#include <csignal>

#include "COptionDevCap.h"
#include "COptionObject.h"
#include "COptionSection.h"

namespace {

QString fixture(const char *name)
{
    return QStringLiteral(STATION_TEST_DATA_DIR "/") + QLatin1String(name);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class OptionDocumentsTest : public QObject
{
    Q_OBJECT

private slots:
    void loadKeepsOnlyNamedSectionsAndItems();
    void typedReads_data();
    void typedReads();
    void stringListReadRules();
    void saveWritesNameOrder();
    void setsOfEveryKindRoundTrip();
    void textTheFileCannotCarryIsRefused_data();
    void textTheFileCannotCarryIsRefused();
    void failedLoadsKeepPathAndEmptyDocument_data();
    void failedLoadsKeepPathAndEmptyDocument();
    void saveWithoutPathFails();
    void failedWriteLeavesOldFileWhole();

    void capabilitiesByName();
    void capabilitiesById_data();
    void capabilitiesById();
    void missingModelKeepsEarlierIdentity();
    void emptyModelNameIsRefused();
    void fixedRangesNeedNoLoad();

private:
    QTemporaryDir m_dir;
};

void OptionDocumentsTest::loadKeepsOnlyNamedSectionsAndItems()
{
    COptionObject document(COptionObject::UserOptions);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QTest::ignoreMessage(QtDebugMsg, "bad item type:  \"5\"");
    QVERIFY(document.Load(fixture("edge-cases.xml")));
    QVERIFY(document.IsLoaded());

    // Sections without a name, with an empty name or under another tag are
    // skipped; the later "Replaced" wins whole, not merged.
    QCOMPARE(document.SectionCount(), 2);
    QVERIFY(!document.FindSection("Capital", false));
    QCOMPARE(document.GetInt("Replaced", "Gone", -1), -1);
    QCOMPARE(document.GetInt("Replaced", "Kept", -1), 8);

    COptionSection *values = document.FindSection("Values", false);
    QVERIFY(values);
    QVERIFY(!values->FindItem("Capital", false));
    QVERIFY(!values->FindItem("", false));
    QCOMPARE(values->ItemCount(), 10);
}

void OptionDocumentsTest::typedReads_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("asInt");
    QTest::addColumn<int>("asBool"); // -1: the default came back
    QTest::addColumn<QString>("asString");

    // Defaults used below: int -1, bool false and true (to tell a default
    // from a read false), string "default".
    QTest::newRow("untyped is int") << "Untyped" << 12 << -1 << "default";
    QTest::newRow("type 5 reads as int 0") << "BadType" << 0 << -1 << "default";
    QTest::newRow("negative type answers defaults") << "Negative" << -1 << -1 << "default";
    QTest::newRow("int text that is no number") << "NotANumber" << 0 << -1 << "default";
    QTest::newRow("later item of a name wins") << "Twice" << -1 << -1 << "second";
    QTest::newRow("exact 1 is true") << "BoolOne" << -1 << 1 << "default";
    QTest::newRow("the word true is false") << "BoolWord" << -1 << 0 << "default";
    QTest::newRow("a spaced 1 is false") << "BoolSpaced" << -1 << 0 << "default";
    QTest::newRow("string") << "Text" << -1 << -1 << "Some text";
    QTest::newRow("missing item") << "Nowhere" << -1 << -1 << "default";
}

void OptionDocumentsTest::typedReads()
{
    QFETCH(QString, item);
    QFETCH(int, asInt);
    QFETCH(int, asBool);
    QFETCH(QString, asString);

    COptionObject document(COptionObject::AppOptions);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^bad item type: "));
    QVERIFY(document.Load(fixture("edge-cases.xml")));

    QCOMPARE(document.GetInt("Values", item, -1), asInt);
    const bool withFalse = document.GetBool("Values", item, false);
    const bool withTrue = document.GetBool("Values", item, true);
    QCOMPARE(withFalse == withTrue ? int(withFalse) : -1, asBool);
    QCOMPARE(document.GetString("Values", item, "default"), asString);
}

void OptionDocumentsTest::stringListReadRules()
{
    COptionObject document(COptionObject::UserOptions);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^bad item type: "));
    QVERIFY(document.Load(fixture("edge-cases.xml")));

    // Trimmed, blank pieces dropped, and the "c" after the last line feed
    // was never ended, so it is not part of the list.
    QStringList list;
    QVERIFY(document.GetStringList("Values", "List", list));
    QCOMPARE(list, QStringList({"a", "b"}));

    QStringList untouched{"keep"};
    QVERIFY(!document.GetStringList("Values", "Text", untouched));
    QVERIFY(!document.GetStringList("Values", "Nowhere", untouched));
    QVERIFY(!document.GetStringList("Nowhere", "List", untouched));
    QCOMPARE(untouched, QStringList{"keep"});
}

void OptionDocumentsTest::saveWritesNameOrder()
{
    // Sections and items come out in name order whatever the file's order:
    // "Axes0" before "Sensitivity", "Button10" before "Button2".
    const QString path = m_dir.filePath("ordered.xml");
    QFile::remove(path);
    QVERIFY(QFile::copy(fixture("unordered.xml"), path));

    COptionObject document(COptionObject::UserOptions);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QVERIFY(document.Load(path));
    QVERIFY(document.Save());
    QCOMPARE(readAll(path), readAll(fixture("ordered.xml")));

    // Loading what was written and saving again changes no byte.
    COptionObject again(COptionObject::UserOptions);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QVERIFY(again.Load(path));
    QVERIFY(again.Save());
    QCOMPARE(readAll(path), readAll(fixture("ordered.xml")));
}

void OptionDocumentsTest::setsOfEveryKindRoundTrip()
{
    const QString path = m_dir.filePath("sets.xml");
    COptionObject document(COptionObject::AppOptions);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^open file failed: "));
    QVERIFY(!document.Load(path));

    document.SetInt("S", "int", -42);
    document.SetBool("S", "bool", true);
    document.SetString("S", "string", QString::fromUtf8("Ünïcode <&> \"quoted\""));
    document.SetStringList("S", "list", {"one", "two"});
    document.SetStringList("S", "emptyList", {});
    // An item changes type with the set that writes it.
    document.SetInt("S", "changes", 1);
    document.SetString("S", "changes", "now text");
    // An empty section name is written, and skipped by the next load.
    document.SetString("", "orphan", "x");
    QVERIFY(document.Save());

    COptionObject loaded(COptionObject::AppOptions);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QVERIFY(loaded.Load(path));
    QCOMPARE(loaded.GetInt("S", "int", 0), -42);
    QCOMPARE(loaded.GetBool("S", "bool", false), true);
    QCOMPARE(loaded.GetString("S", "string", ""), QString::fromUtf8("Ünïcode <&> \"quoted\""));
    QStringList list;
    QVERIFY(loaded.GetStringList("S", "list", list));
    QCOMPARE(list, QStringList({"one", "two"}));
    QVERIFY(loaded.GetStringList("S", "emptyList", list));
    QVERIFY(list.isEmpty());
    QCOMPARE(loaded.GetInt("S", "changes", 7), 7);
    QCOMPARE(loaded.GetString("S", "changes", ""), QStringLiteral("now text"));
    QVERIFY(!loaded.FindSection("", false));
    QVERIFY(readAll(path).startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<options>\n"));
}

void OptionDocumentsTest::textTheFileCannotCarryIsRefused_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("carried");
    QTest::newRow("tab, line feed, carriage return") << QStringLiteral("a\tb\nc\rd") << true;
    QTest::newRow("delete") << QString(QChar(0x7F)) << true;
    QTest::newRow("outside the basic plane") << QString::fromUtf8("\xF0\x9F\x98\x80") << true;
    QTest::newRow("null") << QString(QChar(0)) << false;
    QTest::newRow("start of heading") << QStringLiteral("rtsp://\x01") << false;
    QTest::newRow("unit separator") << QString(QChar(0x1F)) << false;
    QTest::newRow("U+FFFE") << QString(QChar(0xFFFE)) << false;
    QTest::newRow("half a surrogate pair") << QString(QChar(0xD83D)) + "x" << false;
}

// Kept, such text would make every later Save of the document fail.
void OptionDocumentsTest::textTheFileCannotCarryIsRefused()
{
    QFETCH(QString, text);
    QFETCH(bool, carried);

    const QString path = m_dir.filePath("carried.xml");
    QFile::remove(path);
    COptionObject document(COptionObject::UserOptions);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^open file failed: "));
    QVERIFY(!document.Load(path));
    if (!carried) {
        for (int refused = 0; refused < 4; ++refused)
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^option not set, the options file cannot carry it: "));
    }
    document.SetString("S", "string", text);
    document.SetStringList("S", "list", {"x", text});
    document.SetInt(text, "in section", 1);
    document.SetBool("S", text, true);
    document.SetInt("S", "good", 1);
    QStringList list;
    QCOMPARE(document.GetStringList("S", "list", list), carried);
    QCOMPARE(document.GetInt(text, "in section", 0), carried ? 1 : 0);
    QCOMPARE(document.GetBool("S", text, false), carried);
    QVERIFY(document.Save());

    COptionObject loaded(COptionObject::UserOptions);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QVERIFY(loaded.Load(path));
    QCOMPARE(loaded.GetInt("S", "good", 0), 1);
    QCOMPARE(loaded.GetString("S", "string", "refused"), carried ? text : "refused");
}

void OptionDocumentsTest::failedLoadsKeepPathAndEmptyDocument_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << false << QByteArray() << "^open file failed: ";
    QTest::newRow("broken xml") << true << readAll(fixture("broken.xml")) << "^parse file failed at line ";
}

// A missing file is created by the next Save; one that is there but cannot
// be read may hold the operator's settings and is never written over.
void OptionDocumentsTest::failedLoadsKeepPathAndEmptyDocument()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);

    const QString path = m_dir.filePath(exists ? "unreadable.xml" : "missing.xml");
    QFile::remove(path);
    if (exists) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    COptionObject document(COptionObject::UserOptions);
    document.SetInt("Before", "load", 1);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(message));
    QVERIFY(!document.Load(path));
    QVERIFY(!document.IsLoaded());
    QCOMPARE(document.SectionCount(), 0);
    QCOMPARE(document.Path(), path);

    document.SetInt("After", "load", 1);
    QCOMPARE(document.Save(), !exists);
    if (exists)
        QCOMPARE(readAll(path), content);
}

void OptionDocumentsTest::saveWithoutPathFails()
{
    COptionObject document(COptionObject::UserOptions);
    document.SetInt("A", "b", 1);
    QVERIFY(!document.Save());
}

void OptionDocumentsTest::failedWriteLeavesOldFileWhole()
{
    const QString path = m_dir.filePath("precious.xml");
    QFile::remove(path);
    QVERIFY(QFile::copy(fixture("ordered.xml"), path));
    const QByteArray before = readAll(path);

    COptionObject document(COptionObject::UserOptions);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QVERIFY(document.Load(path));
    for (int i = 0; i < 2000; ++i)
        document.SetString("Big", QStringLiteral("Item%1").arg(i), QString(40, QLatin1Char('x')));

    // A disk that fills up half-way through the write: the file size limit
    // makes the write fail even for root, for whom folder permissions mean
    // nothing.
    struct rlimit saved;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = document.Save();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!saved_ok);
    QCOMPARE(readAll(path), before);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).filter("precious").size(), 1);
}

void OptionDocumentsTest::capabilitiesByName()
{
    COptionDevCap table;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QVERIFY(table.LoadByModelName(fixture("capabilities.xml"), "Dual"));
    QVERIFY(table.IsLoaded());
    QCOMPARE(table.GetModelId(), 26);

    // Only the first "Dual" is read; a zero never counts and never removes
    // an earlier value; other tags and nameless capabilities are ignored.
    QStringList names;
    table.GetCapabilities(names);
    QCOMPARE(names, QStringList({"IRZoomLens", "Tracking", "VisibleZoomLens"}));
    QCOMPARE(table.GetLensCount(), 2);
    QVERIFY(table.HasIRLens());
    QVERIFY(!table.HasCapability("IRPrimeLens"));
    QVERIFY(!table.HasCapability("tracking"));

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QVERIFY(table.LoadByModelName(fixture("capabilities.xml"), "AllZero"));
    table.GetCapabilities(names);
    QVERIFY(names.isEmpty());
    QCOMPARE(table.GetLensCount(), 0);
    QVERIFY(!table.HasIRLens());
}

void OptionDocumentsTest::capabilitiesById_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("lenses");
    QTest::newRow("no id attribute is 0") << 0 << "NoId" << 0;
    QTest::newRow("hex 1A") << 0x1A << "Dual" << 2;
    QTest::newRow("hex ff lower case") << 0xFF << "Full" << 4;
}

void OptionDocumentsTest::capabilitiesById()
{
    QFETCH(int, id);
    QFETCH(QString, name);
    QFETCH(int, lenses);

    COptionDevCap table;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QVERIFY(table.LoadById(fixture("capabilities.xml"), id));
    QCOMPARE(table.GetModelName(), name);
    QCOMPARE(table.GetLensCount(), lenses);
}

void OptionDocumentsTest::missingModelKeepsEarlierIdentity()
{
    COptionDevCap table;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QVERIFY(table.LoadByModelName(fixture("capabilities.xml"), "Dual"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QVERIFY(table.LoadByModelName(fixture("capabilities.xml"), "Unlisted"));
    QVERIFY(table.IsLoaded());
    QCOMPARE(table.GetModelId(), 26);
    QCOMPARE(table.GetModelName(), QStringLiteral("Unlisted"));

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QVERIFY(table.LoadById(fixture("capabilities.xml"), 0x77));
    QCOMPARE(table.GetModelName(), QStringLiteral("Unlisted"));
    QCOMPARE(table.GetModelId(), 0x77);
    QCOMPARE(table.GetLensCount(), 0);
}

void OptionDocumentsTest::emptyModelNameIsRefused()
{
    COptionDevCap table;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QTest::ignoreMessage(QtDebugMsg, "strFileName.isEmpty() || strModelName.isEmpty()");
    QVERIFY(!table.LoadByModelName(fixture("capabilities.xml"), QString()));
    QVERIFY(!table.IsLoaded());

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Filename = "));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^open file failed: "));
    QVERIFY(!table.LoadById(QString(), 3));
    QVERIFY(!table.IsLoaded());
    QCOMPARE(table.GetModelId(), 3);
}

void OptionDocumentsTest::fixedRangesNeedNoLoad()
{
    COptionDevCap table;
    float min = -1, max = -1;
    QVERIFY(table.GetValueRange1(&min, &max));
    QCOMPARE(min, 0.0f);
    QCOMPARE(max, 40.0f);
    QVERIFY(table.GetValueRange2(&min, &max));
    QCOMPARE(min, 0.0f);
    QCOMPARE(max, 0.1f);
}

QTEST_GUILESS_MAIN(OptionDocumentsTest)
#include "tst_optiondocuments.moc"
