#include <QJsonObject>
#include <QTest>

#include <array>

#include "LinkMessages.h"

// The texts the viewer is written against: the launch token byte for byte
// and the number formats of every position field.
class TestLinkMessages : public QObject
{
    Q_OBJECT

private slots:
    void launchToken_data();
    void launchToken();
    void positionFieldFormat_data();
    void positionFieldFormat();
    void positionCarriesEveryField();
    void showGivesAreaAndTitle();
};

void TestLinkMessages::launchToken_data()
{
    QTest::addColumn<qint64>("pid");
    QTest::addColumn<QString>("linkName");
    QTest::addColumn<QByteArray>("expected");
    // Base64 of the five-line indented JSON, worked out outside Qt.
    QTest::newRow("pid 4242, link L") << qint64(4242) << "L"
        << QByteArray("ewogICAgIkNsaWVudExpbmtOYW1lIjogIkxfQ2xpZW50IiwKICAgICJTZXJ2ZXJMaW5rTmFtZSI6"
                      "ICJMIiwKICAgICJTZXJ2ZXJQcm9jZXNzSWQiOiAiNDI0MiIKfQo=");
    QTest::newRow("uuid link, padded") << qint64(1) << "{0f8fad5b-d9cb-469f-a165-70867728950e}"
        << QByteArray("ewogICAgIkNsaWVudExpbmtOYW1lIjogInswZjhmYWQ1Yi1kOWNiLTQ2OWYtYTE2NS03MDg2Nz"
                      "cyODk1MGV9X0NsaWVudCIsCiAgICAiU2VydmVyTGlua05hbWUiOiAiezBmOGZhZDViLWQ5Y2It"
                      "NDY5Zi1hMTY1LTcwODY3NzI4OTUwZX0iLAogICAgIlNlcnZlclByb2Nlc3NJZCI6ICIxIgp9Cg==");
}

void TestLinkMessages::launchToken()
{
    QFETCH(qint64, pid);
    QFETCH(QString, linkName);
    QFETCH(QByteArray, expected);
    QCOMPARE(LinkMessages::launchToken(pid, linkName), expected);
}

namespace {

const std::array<const char *, 15> positionKeys{
    "dVerticalAngle", "dEOOpticalZoom", "dTargetLongitude", "dTargetLatitude", "dLongitude",
    "dLatitude", "dAltitude", "dYaw", "dYawAbs", "dPitch", "dFov", "dUAVGPSDirection",
    "dUAVYaw", "dUAVPitch", "dUAVRoll"};

QJsonObject positionWith(int field, double value)
{
    std::array<double, 15> v{};
    v[field] = value;
    return LinkMessages::position(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9],
                                  v[10], v[11], v[12], v[13], v[14]);
}

} // namespace

void TestLinkMessages::positionFieldFormat_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    const QStringList fixed{"dTargetLongitude", "dTargetLatitude", "dLongitude", "dLatitude",
                            "dAltitude"};
    // Every field with a value whose text tells the two formats apart.
    for (int field = 0; field < 15; ++field) {
        const bool isFixed = fixed.contains(positionKeys[field]);
        QTest::addRow("%s 15000000", positionKeys[field])
            << field << 15000000.0 << (isFixed ? "15000000.0000000" : "1.5e+07");
        QTest::addRow("%s -0.000123456789", positionKeys[field])
            << field << -0.000123456789 << (isFixed ? "-0.0001235" : "-0.000123457");
    }
    QTest::newRow("vertical angle 0") << 0 << 0.0 << "0";
    QTest::newRow("optical zoom 1") << 1 << 1.0 << "1";
    QTest::newRow("target longitude 113.91088") << 2 << 113.91088 << "113.9108800";
    QTest::newRow("target latitude 22.543854") << 3 << 22.543854 << "22.5438540";
    QTest::newRow("altitude 0") << 6 << 0.0 << "0.0000000";
    QTest::newRow("yaw keeps six digits") << 7 << 123.456789 << "123.457";
    QTest::newRow("roll tiny in exponent form") << 14 << 1.0e-5 << "1e-05";
}

void TestLinkMessages::positionFieldFormat()
{
    QFETCH(int, field);
    QFETCH(double, value);
    QFETCH(QString, expected);
    const QJsonObject message = positionWith(field, value);
    QCOMPARE(message.value(positionKeys[field]).toString(), expected);
}

void TestLinkMessages::positionCarriesEveryField()
{
    const QJsonObject message = LinkMessages::position(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13,
                                                       14, 15);
    QCOMPARE(message.size(), 16);
    QCOMPARE(message.value("type").toString(), QStringLiteral("position"));
    for (int field = 0; field < 15; ++field) {
        const QJsonValue value = message.value(positionKeys[field]);
        QVERIFY2(value.isString(), positionKeys[field]);
        QCOMPARE(value.toString().toDouble(), double(field + 1));
    }
}

void TestLinkMessages::showGivesAreaAndTitle()
{
    const QJsonObject expected{{"type", "show"}, {"position", "100|200|800|600"},
                               {"title", "Optivane"}};
    QCOMPARE(LinkMessages::show(QRect(100, 200, 800, 600)), expected);
}

QTEST_GUILESS_MAIN(TestLinkMessages)
#include "tst_geodock_linkmessages.moc"
