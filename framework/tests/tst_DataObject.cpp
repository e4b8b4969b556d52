#include <QRegularExpression>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

#include "CDataObjectBase.h"

using DataObject = CDataObjectBase<IOVNDataObject>;

namespace {

enum Kind { BoolKind, IntKind, DoubleKind, StringKind, StringListKind };

void setOfKind(DataObject &object, Kind kind, const QString &key)
{
    switch (kind) {
    case BoolKind: object.SetBool(key, true); break;
    case IntKind: object.SetInt(key, 7); break;
    case DoubleKind: object.SetDouble(key, 2.5); break;
    case StringKind: object.SetString(key, QStringLiteral("seven")); break;
    case StringListKind: object.SetStringList(key, {QStringLiteral("a"), QStringLiteral("b")}); break;
    }
}

const char *const kindNames[] = {"bool", "int", "double", "string", "string list"};

// The kinds that answer for the key. A getter that does not answer must
// leave the caller's variable as it was; one that changes it anyway shows
// up as "<kind> touched".
QStringList kindsAnswering(DataObject &object, const QString &key)
{
    QStringList answering;
    auto note = [&](Kind kind, bool found, bool untouched) {
        if (found)
            answering << kindNames[kind];
        else if (!untouched)
            answering << QStringLiteral("%1 touched").arg(kindNames[kind]);
    };
    bool b = false;
    int i = -1;
    double d = -1.0;
    QString s = QStringLiteral("untouched");
    QStringList l = {QStringLiteral("untouched")};
    note(BoolKind, object.GetBool(key, &b), b == false);
    note(IntKind, object.GetInt(key, &i), i == -1);
    note(DoubleKind, object.GetDouble(key, &d), d == -1.0);
    note(StringKind, object.GetString(key, &s), s == QLatin1String("untouched"));
    note(StringListKind, object.GetStringList(key, &l), l == QStringList{QStringLiteral("untouched")});
    return answering;
}

class WatchedObject : public DataObject
{
public:
    void SetModified() override
    {
        ++marks;
        DataObject::SetModified();
    }
    int marks = 0;
};

} // namespace

class DataObjectTest : public QObject
{
    Q_OBJECT

private slots:
    void kindsAreSeparateKeySpaces_data();
    void kindsAreSeparateKeySpaces();
    void keysCompareExactly_data();
    void keysCompareExactly();
    void everySetMarksModified();
    void setMarksThroughOverride();
    void namesAreDistinctBracedUuids();
    void concurrentSettersAndGetters();
};

void DataObjectTest::kindsAreSeparateKeySpaces_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("bool") << int(BoolKind);
    QTest::newRow("int") << int(IntKind);
    QTest::newRow("double") << int(DoubleKind);
    QTest::newRow("string") << int(StringKind);
    QTest::newRow("string list") << int(StringListKind);
}

void DataObjectTest::kindsAreSeparateKeySpaces()
{
    QFETCH(int, kind);
    DataObject object;
    QCOMPARE(kindsAnswering(object, QStringLiteral("k")), QStringList());

    setOfKind(object, Kind(kind), QStringLiteral("k"));
    QCOMPARE(kindsAnswering(object, QStringLiteral("k")), QStringList{kindNames[kind]});

    // The same key may hold a value of every kind at once.
    for (Kind other : {BoolKind, IntKind, DoubleKind, StringKind, StringListKind})
        setOfKind(object, other, QStringLiteral("k"));
    QCOMPARE(kindsAnswering(object, QStringLiteral("k")).size(), 5);
}

void DataObjectTest::keysCompareExactly_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<bool>("found");
    QTest::newRow("same") << "Speed" << "Speed" << true;
    QTest::newRow("other case") << "Speed" << "speed" << false;
    QTest::newRow("all upper") << "Speed" << "SPEED" << false;
    QTest::newRow("trailing space") << "Speed" << "Speed " << false;
    QTest::newRow("empty key") << "" << "" << true;
    QTest::newRow("empty asked") << "Speed" << "" << false;
    QTest::newRow("non-ASCII") << QString::fromUtf8("\xc3\x9f") << "ss" << false;
}

void DataObjectTest::keysCompareExactly()
{
    QFETCH(QString, stored);
    QFETCH(QString, asked);
    QFETCH(bool, found);
    DataObject object;
    object.SetString(stored, QStringLiteral("value"));
    QString value;
    QCOMPARE(object.GetString(asked, &value), found);
    QCOMPARE(value, found ? QStringLiteral("value") : QString());
}

void DataObjectTest::everySetMarksModified()
{
    DataObject object;
    QVERIFY(!object.IsModified());
    for (int round = 0; round < 2; ++round) {
        for (Kind kind : {BoolKind, IntKind, DoubleKind, StringKind, StringListKind}) {
            object.ClearModified();
            setOfKind(object, kind, QStringLiteral("k")); // the second round changes nothing
            QVERIFY2(object.IsModified(), qPrintable(QStringLiteral("kind %1, round %2").arg(kind).arg(round)));
        }
    }
    object.SetInt(QStringLiteral("k"), 8);
    int value = 0;
    QVERIFY(object.GetInt(QStringLiteral("k"), &value));
    QCOMPARE(value, 8);
}

void DataObjectTest::setMarksThroughOverride()
{
    WatchedObject object;
    for (Kind kind : {BoolKind, IntKind, DoubleKind, StringKind, StringListKind})
        setOfKind(object, kind, QStringLiteral("k"));
    QCOMPARE(object.marks, 5);
}

void DataObjectTest::namesAreDistinctBracedUuids()
{
    const QRegularExpression uuid(QStringLiteral(
        "^\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\}$"));
    DataObject first;
    DataObject second;
    QVERIFY2(uuid.match(first.GetName()).hasMatch(), qPrintable(first.GetName()));
    QVERIFY2(uuid.match(second.GetName()).hasMatch(), qPrintable(second.GetName()));
    QCOMPARE(first.GetName().size(), 38);
    QVERIFY(first.GetName() != second.GetName());

    const QString name = first.GetName();
    first.SetString(QStringLiteral("name"), QStringLiteral("other"));
    QCOMPARE(first.GetName(), name);
}

// Writers keep replacing shared values whose parts must always agree with
// each other while readers check them and mark and clear the flag; each
// writer also fills keys of its own and finds them all afterwards. Run under
// ThreadSanitizer as well as normally.
void DataObjectTest::concurrentSettersAndGetters()
{
    DataObject object;
    const int writers = 4;
    const int rounds = 2000;
    std::atomic<int> torn{0};
    std::atomic<bool> writing{true};

    auto writer = [&](int id) {
        for (int i = 0; i < rounds; ++i) {
            const QString text = QString::number(id * rounds + i);
            object.SetStringList(QStringLiteral("shared"), {text, text, text});
            object.SetString(QStringLiteral("shared"), text);
            object.SetInt(QStringLiteral("w%1-%2").arg(id).arg(i), i);
            object.SetDouble(QStringLiteral("shared"), i);
            object.SetBool(QStringLiteral("shared"), i % 2);
        }
    };
    auto reader = [&] {
        while (writing) {
            QStringList list;
            if (object.GetStringList(QStringLiteral("shared"), &list)
                && (list.size() != 3 || list[0] != list[1] || list[1] != list[2]))
                ++torn;
            QString text;
            object.GetString(QStringLiteral("shared"), &text);
            double d = 0;
            object.GetDouble(QStringLiteral("shared"), &d);
            object.IsModified();
            object.ClearModified();
        }
    };

    // Plain threads: joining them is an ordering the sanitizer understands.
    std::vector<std::thread> writerThreads;
    std::vector<std::thread> readerThreads;
    for (int id = 0; id < writers; ++id)
        writerThreads.emplace_back(writer, id);
    for (int r = 0; r < 2; ++r)
        readerThreads.emplace_back(reader);
    for (std::thread &thread : writerThreads)
        thread.join();
    writing = false;
    for (std::thread &thread : readerThreads)
        thread.join();

    QCOMPARE(torn.load(), 0);
    for (int id = 0; id < writers; ++id) {
        for (int i = 0; i < rounds; ++i) {
            int value = -1;
            QVERIFY(object.GetInt(QStringLiteral("w%1-%2").arg(id).arg(i), &value));
            QCOMPARE(value, i);
        }
    }
    object.SetBool(QStringLiteral("last"), true);
    QVERIFY(object.IsModified());
}

QTEST_GUILESS_MAIN(DataObjectTest)
#include "tst_DataObject.moc"
