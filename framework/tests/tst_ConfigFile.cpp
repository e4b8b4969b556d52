#include <QRegularExpression>
#include <QTest>

#include "CConfigFile.h"
#include "CConfigItem.h"
#include "CConfigSection.h"
#include "LogCapture.h"

namespace {

QString fixture(const QString &name)
{
    return QStringLiteral(STATION_TEST_DATA_DIR "/config/") + name;
}

QStringList itemTags(const CConfigSection *section)
{
    QStringList tags;
    for (int i = 0; i < section->GetItemCount(); ++i)
        tags << section->GetItemAt(i)->GetTag();
    return tags;
}

} // namespace

class ConfigFileTest : public QObject
{
    Q_OBJECT

private slots:
    void readsElementChildrenInDocumentOrder();
    void firstSectionOfATagWins();
    void emptyRootHasNoSections();
    void failedLoadLeavesFileEmpty_data();
    void failedLoadLeavesFileEmpty();
    void itemIndexOutsideTheSection_data();
    void itemIndexOutsideTheSection();
};

void ConfigFileTest::readsElementChildrenInDocumentOrder()
{
    CConfigFile file;
    QCOMPARE(file.Load(fixture("sections.xml")), 0);

    const CConfigSection *modules = file.GetSection("Modules");
    QVERIFY(modules);
    QCOMPARE(modules->GetTag(), QStringLiteral("Modules"));
    // Text, comments, processing instructions and deeper elements are not items.
    QCOMPARE(itemTags(modules), (QStringList{"Module", "Module", "Other"}));

    const CConfigItem *options = modules->GetItemAt(0);
    QCOMPARE(options->GetAttribute("name"), QStringLiteral("Options"));
    QCOMPARE(options->GetAttribute("path"), QStringLiteral("libPrefstore.so"));
    QCOMPARE(options->GetAttribute("Name"), QString());
    QCOMPARE(options->GetAttribute("life"), QString());
    QCOMPARE(modules->GetItemAt(1)->GetAttribute("extra"), QString());
    QCOMPARE(modules->GetItemAt(2)->GetAttribute("name"), QStringLiteral("Third"));

    QVERIFY(file.GetSection("Services"));
    QCOMPARE(file.GetSection("Services")->GetItemCount(), 0);
    QVERIFY(!file.GetSection("modules"));
    QVERIFY(!file.GetSection("Module"));
    QVERIFY(!file.GetSection("Root"));
}

void ConfigFileTest::firstSectionOfATagWins()
{
    CConfigFile file;
    QCOMPARE(file.Load(fixture("sections.xml")), 0);
    QCOMPARE(file.GetSection("Modules")->GetItemAt(0)->GetAttribute("name"), QStringLiteral("Options"));

    // Loading again starts from nothing rather than appending.
    QCOMPARE(file.Load(fixture("sections.xml")), 0);
    QCOMPARE(file.GetSection("Modules")->GetItemCount(), 3);
}

void ConfigFileTest::emptyRootHasNoSections()
{
    CConfigFile file;
    QCOMPARE(file.Load(fixture("empty-root.xml")), 0);
    QVERIFY(!file.GetSection("Modules"));
    QVERIFY(!file.GetSection(""));
}

void ConfigFileTest::failedLoadLeavesFileEmpty_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");

    const QString missing = fixture("missing.xml");
    QTest::newRow("missing file")
        << missing
        << QStringLiteral("open file failed:  \"%1\" , error:  \"No such file or directory\"").arg(missing);
    QTest::newRow("a folder") << QStringLiteral(STATION_TEST_DATA_DIR)
                              << QStringLiteral("^open file failed:  \"%1\" , error:  \".+\"$")
                                     .arg(QRegularExpression::escape(STATION_TEST_DATA_DIR));
    QTest::newRow("unclosed tag") << fixture("unclosed-tag.xml")
                                  << "^parse file failed at line  4  column  \\d+  error:  \".+\"$";
    QTest::newRow("two roots") << fixture("two-roots.xml")
                               << "^parse file failed at line  2  column  \\d+  error:  \".+\"$";
    QTest::newRow("empty file") << fixture("empty-file.xml")
                                << "^parse file failed at line  \\d+  column  \\d+  error:  \".+\"$";
    QTest::newRow("not XML") << fixture("not-xml.xml")
                             << "^parse file failed at line  1  column  \\d+  error:  \".+\"$";
}

void ConfigFileTest::failedLoadLeavesFileEmpty()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    CConfigFile file;
    QCOMPARE(file.Load(fixture("sections.xml")), 0);

    LogCapture log;
    QCOMPARE(file.Load(path), -1);
    const QStringList messages = log.messages();
    QCOMPARE(messages.size(), 1);
    if (message.startsWith('^'))
        QVERIFY2(QRegularExpression(message).match(messages.first()).hasMatch(), qPrintable(messages.first()));
    else
        QCOMPARE(messages.first(), message);
    QVERIFY(!file.GetSection("Modules"));
}

void ConfigFileTest::itemIndexOutsideTheSection_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("below zero") << -1;
    QTest::newRow("the count") << 3;
    QTest::newRow("beyond") << 100;
    QTest::newRow("most negative") << std::numeric_limits<int>::min();
}

void ConfigFileTest::itemIndexOutsideTheSection()
{
    QFETCH(int, index);
    CConfigFile file;
    QCOMPARE(file.Load(fixture("sections.xml")), 0);

    LogCapture log;
    QVERIFY(!file.GetSection("Modules")->GetItemAt(index));
    QCOMPARE(log.messages(), QStringList{QStringLiteral("bad input parameter index =  %1").arg(index)});
}

QTEST_GUILESS_MAIN(ConfigFileTest)
#include "tst_ConfigFile.moc"
