#include <QDir>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QLabel>
#include <QMovie>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include "GeodockPage.h"
#include "NQXServer.h"
#include "ProcessProbe.h"
#include "StandinJournal.h"

using namespace StandinJournal;

// The host page on a virtual display with the stand-in viewer: what a person
// sees (the loading animation, then the viewer's window filling the page),
// how the page follows the viewer's coming and going, and that the viewer
// dies with the host.
class TestGeodockPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loadingAnimationShowsFirst();
    void viewerWindowFillsThePage();
    void viewerKeepsFillingThePage_data();
    void viewerKeepsFillingThePage();
    void viewerPositionReachesPageSignals();
    void unusableWindowHandleChangesNothing_data();
    void unusableWindowHandleChangesNothing();
    void secondWindowHandleReplacesEmbedding();
    void viewerGoneShowsLoadingAndRelaunches();
    void startedHostOpensLargeAndTakesItsViewerAlong();
    void cleanupTestCase();

private:
    QRect area() const { return QRect(stack->mapToGlobal(QPoint()), stack->size()); }
    QString clientLink() const
    {
        return find("started").last().value("message").toObject().value("ClientLinkName").toString();
    }
    // The latest viewer of this process's page.
    qint64 currentViewer() const
    {
        const QString host = QString::number(QCoreApplication::applicationPid());
        const QList<QJsonObject> started = find("started");
        for (auto entry = started.crbegin(); entry != started.crend(); ++entry) {
            if (entry->value("message").toObject().value("ServerProcessId").toString() == host)
                return qint64(entry->value("pid").toDouble());
        }
        return 0;
    }
    int shows() const { return find("received", 0, "show").size(); }
    QImage screenshot(const QString &name) const;
    bool viewerFills(const QString &name) const;

    GeodockPage *page = nullptr;
    QStackedWidget *stack = nullptr;
    QLabel *loadingLabel = nullptr;
    NQXServer *server = nullptr;
};

QImage TestGeodockPage::screenshot(const QString &name) const
{
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    image.save(QDir::temp().filePath(name + ".png"));
    return image;
}

// Every pixel of the page's area is the viewer's, and none around it.
bool TestGeodockPage::viewerFills(const QString &name) const
{
    const QImage image = screenshot(name);
    const QRect inside = area();
    const QRect around = inside.adjusted(-1, -1, 1, 1);
    const QRgb viewer = windowColour().rgb();
    for (int y = around.top(); y <= around.bottom(); ++y) {
        for (int x = around.left(); x <= around.right(); ++x) {
            const bool isViewer = (image.pixel(x, y) & 0xffffff) == (viewer & 0xffffff);
            if (isViewer != inside.contains(x, y))
                return false;
        }
    }
    return true;
}

void TestGeodockPage::initTestCase()
{
    QFile::remove(StandinJournal::path());
    // Where an installation starts the host, so that it finds its animation.
    QVERIFY(QDir::setCurrent(QCoreApplication::applicationDirPath() + "/var/run/geodock"));
    page = new GeodockPage;
    stack = page->findChild<QStackedWidget *>();
    loadingLabel = page->findChild<QLabel *>();
    server = page->findChild<NQXServer *>();
    QVERIFY(stack && loadingLabel && server);
    page->setGeometry(137, 91, 500, 400);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));
}

void TestGeodockPage::loadingAnimationShowsFirst()
{
    QVERIFY(loadingLabel->movie() && loadingLabel->movie()->isValid());
    QCOMPARE(stack->currentWidget(), loadingLabel);
    QCOMPARE(shows(), 0);
    const QImage image = screenshot("loading");
    const QRect label = area();
    int ground = 0, runner = 0;
    for (int y = label.top(); y <= label.bottom(); ++y) {
        for (int x = label.left(); x <= label.right(); ++x) {
            const QRgb pixel = image.pixel(x, y) & 0xffffff;
            ground += pixel == 0x1b2838;
            runner += pixel == 0xffb000;
        }
    }
    // One whole frame of the animation: its ground, and the bright dot.
    const QSize frame = loadingLabel->movie()->currentImage().size();
    QVERIFY2(ground > frame.width() * frame.height() * 9 / 10, qPrintable(QString::number(ground)));
    QVERIFY2(runner > 100, qPrintable(QString::number(runner)));
}

void TestGeodockPage::viewerWindowFillsThePage()
{
    const QJsonObject show = waitFor("received", 1, 0, "show").value("message").toObject();
    const QRect r = area();
    const QJsonObject expected{
        {"type", "show"},
        {"title", "Optivane"},
        {"position", QStringLiteral("%1|%2|%3|%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())}};
    QCOMPARE(show, expected);
    QVERIFY(stack->currentWidget() != loadingLabel);
    QTRY_VERIFY_WITH_TIMEOUT(viewerFills("embedded"), 10000);
}

void TestGeodockPage::viewerKeepsFillingThePage_data()
{
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("larger") << QRect(137, 91, 700, 520);
    QTest::newRow("moved") << QRect(260, 150, 700, 520);
    QTest::newRow("smaller") << QRect(40, 30, 400, 300);
}

void TestGeodockPage::viewerKeepsFillingThePage()
{
    QFETCH(QRect, geometry);
    page->setGeometry(geometry);
    QTRY_COMPARE(page->geometry(), geometry);
    QTRY_VERIFY_WITH_TIMEOUT(viewerFills(QTest::currentDataTag()), 10000);
    QCOMPARE(shows(), 1);
}

void TestGeodockPage::viewerPositionReachesPageSignals()
{
    QStringList events;
    auto note = [&events](const QString &what) {
        return [&events, what](double longitude, double latitude, double altitude) {
            events << QStringLiteral("%1 %2 %3 %4").arg(what).arg(longitude).arg(latitude).arg(altitude);
        };
    };
    connect(page, &GeodockPage::positionChanged, this, note("changed"));
    connect(page, &GeodockPage::stopPositionChanged, this, note("stopChanged"));
    connect(server, &NQXServer::positionReceived, this,
            [&](bool, double longitude, double latitude, double altitude) {
                note("received")(longitude, latitude, altitude);
            });
    connect(server, &NQXServer::stopPositionReceived, this, [&events] { events << "stopReceived"; });

    server->gotoPosition(0, 1, 113.91088, 22.543854, 113.5, 22.25, 120, 0, 0, 0, 0, 0, 0, 0, 0);
    QTRY_COMPARE_WITH_TIMEOUT(events.size(), 4, 10000);
    QCOMPARE(events, (QStringList{"changed 113.5 22.25 120", "stopChanged 113.5 22.25 120",
                                  "received 113.5 22.25 120", "stopReceived"}));
    disconnect(page, nullptr, this, nullptr);
    disconnect(server, nullptr, this, nullptr);
}

void TestGeodockPage::unusableWindowHandleChangesNothing_data()
{
    QTest::addColumn<QString>("handle");
    QTest::addColumn<QString>("warning");
    QTest::newRow("not decimal") << "0x400003" << "invalid window handle: \"0x400003\"";
    QTest::newRow("empty") << "" << "invalid window handle: \"\"";
    QTest::newRow("no such window") << "4294967295" << "no window for handle 4294967295";
}

void TestGeodockPage::unusableWindowHandleChangesNothing()
{
    QFETCH(QString, handle);
    QFETCH(QString, warning);
    QWidget *before = stack->currentWidget();
    const int count = stack->count();
    QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
    server->onClientData(clientLink(), {{"type", "windowHandle"}, {"windowHandle", handle}});
    QCOMPARE(stack->currentWidget(), before);
    QCOMPARE(stack->count(), count);
    QCOMPARE(shows(), 1);
}

void TestGeodockPage::secondWindowHandleReplacesEmbedding()
{
    const QPointer<QWidget> old = stack->currentWidget();
    const QString handle =
        find("sent", currentViewer(), "windowHandle").last().value("message").toObject().value("windowHandle").toString();
    server->onClientData(clientLink(), {{"type", "windowHandle"}, {"windowHandle", handle}});
    QVERIFY(old.isNull());
    QVERIFY(stack->currentWidget() != loadingLabel);
    QCOMPARE(stack->count(), 2);
    QVERIFY(!waitFor("received", 2, 0, "show").isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(viewerFills("replaced"), 10000);
}

void TestGeodockPage::viewerGoneShowsLoadingAndRelaunches()
{
    const qint64 viewer = currentViewer();
    const int started = find("started").size();
    server->sendDataToClient({{"type", "quit"}});
    QTRY_COMPARE_WITH_TIMEOUT(stack->currentWidget(), loadingLabel, 10000);
    QVERIFY(processEnded(viewer));

    QVERIFY(!waitFor("started", started + 1).isEmpty());
    QVERIFY(!waitFor("received", 1, currentViewer(), "show").isEmpty());
    QVERIFY(stack->currentWidget() != loadingLabel);
    QTRY_VERIFY_WITH_TIMEOUT(viewerFills("relaunched"), 10000);
}

void TestGeodockPage::cleanupTestCase()
{
    const qint64 viewer = currentViewer();
    delete page;
    QVERIFY(processEnded(viewer));
    endCentersOfThisTest();
}

// The host as the start script starts it, over this test's installation,
// with stand-ins for installing and building.
void TestGeodockPage::startedHostOpensLargeAndTakesItsViewerAlong()
{
    QTemporaryDir checkout;
    const QString root = checkout.path();
    QVERIFY(QDir(root).mkpath("scripts") && QDir(root).mkpath("build"));
    QVERIFY(QFile::copy(QDir::cleanPath(STATION_TEST_DATA_DIR "/../../../scripts/start"), root + "/scripts/start"));
    for (const char *stub : {"setup", "build"}) {
        QFile script(root + "/scripts/" + stub);
        QVERIFY(script.open(QIODevice::WriteOnly));
    }
    QVERIFY(QFile::link(QCoreApplication::applicationDirPath(), root + "/build/bin"));

    QProcess host;
    // A viewer that would not end itself when the host's link goes away:
    // only the runner's guarantee can end it.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("GEODOCK_STANDIN_STAY", "1");
    host.setProcessEnvironment(environment);
    host.start("bash", {root + "/scripts/start"});
    QVERIFY(host.waitForStarted());
    // The script becomes the host.
    const QString hostPid = QString::number(host.processId());
    auto startedByHost = [&hostPid] {
        for (const QJsonObject &entry : find("started")) {
            if (entry.value("message").toObject().value("ServerProcessId").toString() == hostPid)
                return entry;
        }
        return QJsonObject();
    };
    QTRY_VERIFY_WITH_TIMEOUT(!startedByHost().isEmpty(), 20000);
    const QJsonObject started = startedByHost();
    const qint64 viewer = qint64(started.value("pid").toDouble());
    const QJsonObject show = waitFor("received", 1, viewer, "show").value("message").toObject();

    // The viewer's area fills nearly all of the screen, room for the globe
    // and a row of controls that do not overlap, and lies on it: on a scaled
    // desktop the start size can be larger than the screen, and a window
    // manager's frame can push it past the screen's edge. Both are in the
    // desktop's scaled pixels.
    const QStringList area = show.value("position").toString().split('|');
    QCOMPARE(area.size(), 4);
    const QRect placed(area.at(0).toInt(), area.at(1).toInt(), area.at(2).toInt(), area.at(3).toInt());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const bool fits = screen.contains(placed);
    const bool fills = placed.width() >= screen.width() - 80 && placed.height() >= screen.height() - 80;
    QVERIFY2(fits && fills, qPrintable(show.value("position").toString()));

    host.kill();
    QVERIFY(host.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(processEnded(viewer), 5000);
}

QTEST_MAIN(TestGeodockPage)
#include "tst_geodockpage.moc"
