#include <QtTest>

#include <osg/Geometry>
#include <osg/LineWidth>
#include <osg/MatrixTransform>
#include <osg/observer_ptr>
#include <osgUtil/UpdateVisitor>

#include <cmath>

#include "CreateTrackCallback.h"
#include "GaussKrugerProjection.h"
#include "GeoviewMapInputWidget.h"
#include "GeoviewMapOffsetInputWidget.h"
#include "GeoviewMapState.h"
#include "GeoviewMapWidget.h"
#include "OsgViewerWidget.h"
#include "geo/Frame.h"
#include "geo/HBox.h"
#include "platform/CommonDataFolder.h"

#include "PixelCount.h"
#include "SceneSearch.h"

using pixels::count;
using pixels::cyanish;
using pixels::pinRed;

Q_DECLARE_METATYPE(osg::Vec3d)

namespace {

constexpr int kViewWidth = 800;
constexpr int kViewHeight = 600;
const QString sourceEarthFile = QStringLiteral(STATION_BIN_DIR "/data/arcgis.earth");

// A short line on the WGS84 ellipsoid, by the radii of curvature in the
// meridian and in the prime vertical at the mean latitude: for lines of a
// few kilometres good to far better than 0.01 %, and independent of the
// globe's own geodesy.
double shortLineMetres(double lon1, double lat1, double lon2, double lat2)
{
    const double a = 6378137.0, f = 1.0 / 298.257223563, e2 = f * (2.0 - f);
    const double mean = qDegreesToRadians((lat1 + lat2) / 2.0);
    const double w = std::sqrt(1.0 - e2 * std::sin(mean) * std::sin(mean));
    const double meridian = a * (1.0 - e2) / (w * w * w), primeVertical = a / w;
    return std::hypot(meridian * qDegreesToRadians(lat2 - lat1),
                      primeVertical * std::cos(mean) * qDegreesToRadians(lon2 - lon1));
}

QString imageName(const geo::ImageControl *button)
{
    return button->getImage() ? QFileInfo(QString::fromStdString(button->getImage()->getFileName())).fileName()
                              : QString();
}

// The trail's segments in world coordinates, in the order they were drawn.
QVector<QPair<osg::Vec3d, osg::Vec3d>> trailOf(const osg::Group *track)
{
    QVector<QPair<osg::Vec3d, osg::Vec3d>> segments;
    for (unsigned i = 0; i < track->getNumChildren(); ++i) {
        const osg::Node *child = track->getChild(i);
        const auto *origin = dynamic_cast<const osg::MatrixTransform *>(child);
        const osg::Vec3d at = origin ? origin->getMatrix().getTrans() : osg::Vec3d();
        const osg::Geode *geode = origin ? origin->getChild(0)->asGeode() : child->asGeode();
        const auto *vertices = static_cast<const osg::Vec3Array *>(geode->getDrawable(0)->asGeometry()->getVertexArray());
        for (unsigned v = 0; v + 1 < vertices->size(); v += 2)
            segments.append(qMakePair(at + osg::Vec3d((*vertices)[v]), at + osg::Vec3d((*vertices)[v + 1])));
    }
    return segments;
}

QString earthTarget() { return platform::commonDataFolder() + "/Geotiles/Geoview.earth"; }

bool white(QRgb p) { return qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200; }
// The face of a button that is on.
bool lit(QRgb p) { return qBlue(p) > 170 && qRed(p) < 80; }

QRect rectOf(const geo::Control *control)
{
    const geo::ControlRect &r = control->rect();
    return QRect(int(r.x), int(r.y), int(r.width), int(r.height));
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

class GeoviewSceneTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void gaussKruger_data();
    void gaussKruger();
    void earthFileCopy_data();
    void earthFileCopy();
    void readoutShowsThePickedPoint_data();
    void readoutShowsThePickedPoint();
    void movesWithAButtonHeldChangeNothing();
    void rightReleases_data();
    void rightReleases();
    void measuringSequence();
    void nextMeasurementClearsTheLast();
    void clearButtonBranches();
    void buttonImagesSwap_data();
    void buttonImagesSwap();
    void zoomKeysAndButtons_data();
    void zoomKeysAndButtons();
    void scaleBarShowsTheFrame_data();
    void scaleBarShowsTheFrame();
    void dragFromAButtonLeavesTheGlobe();
    void controlClicksMeasureNothing();
    void followModeSetUpOnceAndReapplied();
    void followButtonShowsTheTether_data();
    void followButtonShowsTheTether();
    void trailSegmentsAreRedAndFiveWide();
    void straightTrailStaysShort_data();
    void straightTrailStaysShort();
    void trailLetsItsNodeGo();

private:
    void showScene();
    void frame() { gl()->grabFramebuffer(); }
    void lookDownAt(double lon, double lat, double range);
    QPoint pixelOf(double lon, double lat) const;
    void send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held);
    void moveTo(QPoint at, Qt::MouseButtons held = Qt::NoButton);
    void click(QPoint at, Qt::MouseButton button = Qt::LeftButton);
    void clickButton(geo::ImageControl *button);
    geo::ImageControl *zoomButtonDrawnWith(bool plus);
    int litPixels(const geo::Control *button, const QString &name);
    void changeView(const QString &input);
    QImage screenshot(const QString &name);
    OsgViewerWidget *gl() const { return m_widget->findChild<OsgViewerWidget *>(); }
    osgViewer::Viewer *viewer() const { return gl()->getOsgViewer(); }
    geo::EarthManipulator *manipulator() const
    {
        return dynamic_cast<geo::EarthManipulator *>(viewer()->getCameraManipulator());
    }
    geo::HBox *scaleBox() const { return firstUnder<geo::HBox>(geo::ControlCanvas::getOrCreate(viewer())); }
    osg::Group *scene() const { return viewer()->getSceneData()->asGroup(); }
    GeoviewMapInputWidget *inputWidget() const { return m_widget->findChild<GeoviewMapInputWidget *>(); }
    // The on-screen button with the number `number`, whichever of its two
    // images it shows.
    geo::ImageControl *button(const QString &number) const;
    // The drone that replays the flight path, and the trail it leaves.
    osg::MatrixTransform *droneHolder() const;
    osg::Group *trail() const;
    // The numbered placemarks in the scene, in the order they were dropped.
    std::vector<geo::PlaceNode *> placemarks() const;
    bool inRoot(osg::Node *node) const { return node && scene()->containsNode(node); }
    QString labelText() const { return QString::fromStdString(GeoviewMapState::lengthLabel->getText()); }

    GeoviewMapWidget *m_widget = nullptr;
};

geo::ImageControl *GeoviewSceneTest::button(const QString &number) const
{
    struct Finder : osg::NodeVisitor
    {
        Finder() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}
        void apply(osg::Node &node) override
        {
            if (auto *image = dynamic_cast<geo::ImageControl *>(&node))
                buttons.push_back(image);
            traverse(node);
        }
        std::vector<geo::ImageControl *> buttons;
    } finder;
    geo::ControlCanvas::getOrCreate(viewer())->accept(finder);
    for (geo::ImageControl *button : finder.buttons) {
        if (imageName(button).startsWith("Optivane" + number + "_"))
            return button;
    }
    return nullptr;
}

osg::MatrixTransform *GeoviewSceneTest::droneHolder() const
{
    for (unsigned i = 0; i < scene()->getNumChildren(); ++i) {
        if (scene()->getChild(i)->getName() == "drone")
            return dynamic_cast<osg::MatrixTransform *>(scene()->getChild(i));
    }
    return nullptr;
}

std::vector<geo::PlaceNode *> GeoviewSceneTest::placemarks() const
{
    std::vector<geo::PlaceNode *> found;
    for (unsigned i = 0; i < scene()->getNumChildren(); ++i) {
        auto *place = dynamic_cast<geo::PlaceNode *>(scene()->getChild(i));
        if (place && place->getText().rfind("Geo Point ", 0) == 0)
            found.push_back(place);
    }
    return found;
}

osg::Group *GeoviewSceneTest::trail() const
{
    osg::Group *map = geo::MapNode::findMapNode(scene());
    for (unsigned i = 0; map && i < map->getNumChildren(); ++i) {
        if (map->getChild(i)->getName() == "trail")
            return map->getChild(i)->asGroup();
    }
    return nullptr;
}

void GeoviewSceneTest::init()
{
    // The modes and toggles live once per program; each case starts from
    // the values a fresh viewer has.
    namespace S = GeoviewMapState;
    S::placemarkMode = S::measuringMode = false;
    S::placemarkToggle = S::measuringToggle = S::followToggle = S::clearToggle = true;
    S::measureClickCount = S::measurementCount = 0;
    S::keepMarkers = false;
    S::startMarker = S::endMarker = nullptr;
    m_widget = new GeoviewMapWidget(nullptr);
}

void GeoviewSceneTest::cleanup()
{
    delete m_widget;
    m_widget = nullptr;
    // Every case but the copy's own starts with no copy of the earth file.
    QFile::remove(earthTarget());
}

void GeoviewSceneTest::showScene()
{
    QSignalSpy initialized(gl(), &OsgViewerWidget::initialized);
    m_widget->resize(kViewWidth, kViewHeight);
    m_widget->show();
    QVERIFY(!initialized.isEmpty() || initialized.wait(10000));
    frame();
}

void GeoviewSceneTest::lookDownAt(double lon, double lat, double range)
{
    manipulator()->setViewpoint(geo::Viewpoint("", lon, lat, 0.0, 0.0, -90.0, range));
    frame();
    frame();
}

QPoint GeoviewSceneTest::pixelOf(double lon, double lat) const
{
    osg::Vec3d world;
    geo::GeoPoint(geo::SpatialReference::wgs84Geographic(), lon, lat).toWorld(world);
    const osg::Camera *camera = viewer()->getCamera();
    const osg::Vec3d window = world * camera->getViewMatrix() * camera->getProjectionMatrix()
                              * camera->getViewport()->computeWindowMatrix();
    return QPoint(qRound(window.x()), kViewHeight - qRound(window.y()));
}

void GeoviewSceneTest::send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, at, gl()->mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(gl(), &event);
}

void GeoviewSceneTest::moveTo(QPoint at, Qt::MouseButtons held)
{
    send(QEvent::MouseMove, at, Qt::NoButton, held);
    frame();
}

void GeoviewSceneTest::click(QPoint at, Qt::MouseButton button)
{
    send(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    send(QEvent::MouseButtonPress, at, button, button);
    send(QEvent::MouseButtonRelease, at, button, Qt::NoButton);
    frame();
}

// A grid button ("button02", "button03"), a notch of the wheel ("wheel in",
// "wheel out"), a new viewpoint ("viewpoint") or a key, then a frame.
void GeoviewSceneTest::changeView(const QString &input)
{
    if (input == "button02") {
        clickButton(button("02"));
        return;
    }
    if (input == "button03") {
        clickButton(button("03"));
        return;
    }
    if (input.startsWith("wheel")) {
        const QPoint at(kViewWidth / 2, kViewHeight / 2);
        QWheelEvent wheel(at, gl()->mapToGlobal(at), QPoint(),
                          QPoint(0, input == "wheel in" ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(gl(), &wheel);
    } else if (input == "viewpoint") {
        manipulator()->setViewpoint(geo::Viewpoint("", 114.0, 22.5, 0.0, 0.0, -90.0, 7000.0));
    } else {
        QTest::keyClick(gl(), input.at(0).toLatin1());
    }
    frame();
}

void GeoviewSceneTest::clickButton(geo::ImageControl *button)
{
    QVERIFY(button != nullptr);
    const geo::ControlRect &r = button->rect();
    QVERIFY(r.width > 0);
    click(QPoint(int(r.x + r.width / 2), int(r.y + r.height / 2)));
}

// The zoom button whose face shows a plus, a stroke across and one down
// through its middle, or a minus, the stroke across alone.
geo::ImageControl *GeoviewSceneTest::zoomButtonDrawnWith(bool plus)
{
    const QImage image = screenshot("geoview-zoom-buttons");
    for (geo::ImageControl *button : {button("02"), button("03")}) {
        const QPoint centre = rectOf(button).center();
        const bool down = count(image, QRect(centre.x() - 1, centre.y() - 8, 3, 5), white) >= 6;
        const bool across = count(image, QRect(centre.x() - 8, centre.y() - 1, 5, 3), white) >= 6;
        if (across && down == plus)
            return button;
    }
    return nullptr;
}

int GeoviewSceneTest::litPixels(const geo::Control *button, const QString &name)
{
    return count(screenshot(name), rectOf(button), lit);
}

QImage GeoviewSceneTest::screenshot(const QString &name)
{
    const QImage image = gl()->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    const QString folder = QStringLiteral(STATION_BIN_DIR "/../test-output");
    QDir().mkpath(folder);
    image.save(folder + "/" + name + ".png");
    return image;
}

void GeoviewSceneTest::gaussKruger_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<int>("northing");
    QTest::addColumn<int>("easting");
    QTest::newRow("Moscow, zone 7") << 55.75246 << 37.62499 << 6181966 << 7413663;
    QTest::newRow("Shenzhen, zone 19") << 22.543854 << 113.91088 << 2496986 << 19799520;
    QTest::newRow("equator on zone 1's meridian") << 0.0 << 3.0 << 0 << 1500000;
    QTest::newRow("west of Greenwich, zone 0") << 40.0 << -10.0 << 4453153 << -98025;
}

void GeoviewSceneTest::gaussKruger()
{
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    const GaussKrugerProjection plane = GaussKrugerProjection::fromLatLon(latitude, longitude);
    QFETCH(int, northing);
    QFETCH(int, easting);
    QCOMPARE(int(plane.northing), northing);
    QCOMPARE(int(plane.easting), easting);
}

void GeoviewSceneTest::earthFileCopy_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("mapLoads");

    const QByteArray source = contentsOf(sourceEarthFile);
    QTest::newRow("first start copies") << QByteArray() << true;
    QTest::newRow("second start keeps the operator's copy")
        << QByteArray(source).append("<!-- the operator's own -->\n") << true;
    QTest::newRow("a copy without a map leaves controls and link") << QByteArray("not an earth file") << false;
}

void GeoviewSceneTest::earthFileCopy()
{
    QFETCH(QByteArray, before);
    QFETCH(bool, mapLoads);
    QFile::remove(earthTarget());
    if (!before.isEmpty())
        QVERIFY(writeFile(earthTarget(), before));
    QVERIFY(writeFile(earthTarget() + ".txt", "left from an earlier start"));
    if (!mapLoads)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no map in the earth file"));

    QSignalSpy finished(m_widget, &GeoviewMapWidget::earthFileLoadFinished);
    QSignalSpy mapFinished(m_widget, &GeoviewMapWidget::earthMapLoadFinished);
    if (!mapLoads)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^no map node"));
    showScene();

    QCOMPARE(contentsOf(earthTarget()), before.isEmpty() ? contentsOf(sourceEarthFile) : before);
    QCOMPARE(contentsOf(earthTarget() + ".txt"), QByteArray("xx"));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toBool(), mapLoads);
    QCOMPARE(mapFinished.count(), 1);
    QCOMPARE(geo::MapNode::findMapNode(scene()) != nullptr, mapLoads);
    // The controls are there with or without a map.
    for (geo::ImageControl *button : {button("09"), button("10"), button("07"),
                                      button("08"), button("01"), button("06"),
                                      button("02"), button("03")})
        QVERIFY(button != nullptr && button->getImage() != nullptr);
    QCOMPARE(scaleBox() != nullptr, mapLoads);
    // Events still pass without a map.
    click(QPoint(400, 300), Qt::RightButton);
    QVERIFY(inputWidget()->isVisible());
}

void GeoviewSceneTest::readoutShowsThePickedPoint_data()
{
    QTest::addColumn<double>("range");
    QTest::newRow("close up") << 5000.0;
    QTest::newRow("a province") << 1.0e6;
    QTest::newRow("the whole globe") << 2.0e7;
}

void GeoviewSceneTest::readoutShowsThePickedPoint()
{
    QFETCH(double, range);
    showScene();
    lookDownAt(113.91088, 22.543854, range);
    QSignalSpy moved(m_widget, &GeoviewMapWidget::mousePositionChanged);
    QSignalSpy viewMoved(m_widget, &GeoviewMapWidget::viewPositionChanged);
    moveTo(pixelOf(113.91088, 22.543854));

    QCOMPARE(moved.count(), 1);
    const double lon = moved.first().at(0).toDouble(), lat = moved.first().at(1).toDouble();
    // Within a pixel of the point looked at: 4.5 m close up, some 5e-5 degrees.
    const double pixelDegrees = 2 * range * std::tan(qDegreesToRadians(15.0)) / kViewHeight / 110000.0;
    QVERIFY2(std::fabs(lon - 113.91088) < 2 * pixelDegrees && std::fabs(lat - 22.543854) < 2 * pixelDegrees,
             qPrintable(QString("picked %1, %2").arg(lon, 0, 'f', 7).arg(lat, 0, 'f', 7)));
    // The ground lies at height 0 everywhere, seen from near or far.
    QVERIFY2(std::fabs(moved.first().at(2).toDouble()) < 1.0, qPrintable(QString::number(moved.first().at(2).toDouble())));
    const QString readout = QString::fromStdString(GeoviewMapState::coordinateLabel->text());
    QVERIFY2(QRegularExpression("^Lon:\\d+\\.\\d{6}  Lat:\\d+\\.\\d{6}  Alt:-?0\\.\\d{6}$").match(readout).hasMatch(),
             qPrintable(readout));
    QCOMPARE(readout.mid(4, 10), QString::number(lon, 'f', 6));
    // The plane coordinates are those of the picked point, truncated.
    const GaussKrugerProjection plane = GaussKrugerProjection::fromLatLon(lat, lon);
    QCOMPARE(moved.first().at(3).toDouble(), double(int(plane.northing)));
    QCOMPARE(moved.first().at(4).toDouble(), double(int(plane.easting)));
    QVERIFY(std::fabs(moved.first().at(3).toDouble() - 2496986) < 2 * pixelDegrees * 110000.0 + 1);
    QCOMPARE(viewMoved.count(), 1);
    QVERIFY(std::fabs(viewMoved.first().at(0).toDouble() - 113.91088) < 1e-6);

    // Over space there is no pick: the readout stays, the view still reports.
    lookDownAt(113.91088, 22.543854, 3.0e7);
    moveTo(QPoint(5, 5));
    QCOMPARE(moved.count(), 1);
    QCOMPARE(QString::fromStdString(GeoviewMapState::coordinateLabel->text()), readout);
    QCOMPARE(viewMoved.count(), 2);
}

void GeoviewSceneTest::movesWithAButtonHeldChangeNothing()
{
    showScene();
    lookDownAt(114.0, 22.5, 20000.0);
    moveTo(QPoint(400, 300));
    const std::string readout = GeoviewMapState::coordinateLabel->text();
    QSignalSpy moved(m_widget, &GeoviewMapWidget::mousePositionChanged);
    send(QEvent::MouseButtonPress, QPoint(400, 300), Qt::RightButton, Qt::RightButton);
    frame();
    moveTo(QPoint(450, 330), Qt::RightButton);
    moveTo(QPoint(500, 360), Qt::RightButton);
    QCOMPARE(moved.count(), 0);
    QCOMPARE(GeoviewMapState::coordinateLabel->text(), readout);
    // The release still counts: a right drag ends by opening the dialog.
    send(QEvent::MouseButtonRelease, QPoint(500, 360), Qt::RightButton, Qt::NoButton);
    frame();
    QVERIFY(inputWidget()->isVisible());
}

void GeoviewSceneTest::rightReleases_data()
{
    QTest::addColumn<bool>("placemarkMode");
    QTest::newRow("placemark mode drops numbered placemarks") << true;
    QTest::newRow("otherwise the position dialog opens") << false;
}

void GeoviewSceneTest::rightReleases()
{
    QFETCH(bool, placemarkMode);
    showScene();
    lookDownAt(114.0, 22.5, 20000.0);
    if (placemarkMode)
        clickButton(button("09"));
    const int first = GeoviewMapState::placemarkCounter;
    click(pixelOf(114.01, 22.5), Qt::RightButton);
    click(pixelOf(113.99, 22.5), Qt::RightButton);

    QCOMPARE(inputWidget()->isVisible(), !placemarkMode);
    const std::vector<geo::PlaceNode *> dropped = placemarks();
    QCOMPARE(int(dropped.size()), placemarkMode ? 2 : 0);
    if (!placemarkMode)
        return;
    QCOMPARE(QString::fromStdString(dropped[0]->getText()), QString("Geo Point %1").arg(first));
    QCOMPARE(QString::fromStdString(dropped[1]->getText()), QString("Geo Point %1").arg(first + 1));
    QVERIFY(std::fabs(dropped[0]->getPosition().x() - 114.01) < 1e-3);
    QVERIFY(std::fabs(dropped[1]->getPosition().x() - 113.99) < 1e-3);
}

void GeoviewSceneTest::measuringSequence()
{
    using namespace GeoviewMapState;
    showScene();
    lookDownAt(114.0, 22.5, 20000.0);
    // The release of the click that switches measuring on is the first.
    clickButton(button("07"));
    QVERIFY(measuringMode);
    QVERIFY(!startMarker.valid());

    const QPoint a = pixelOf(113.98, 22.49), b = pixelOf(114.0, 22.5), c = pixelOf(114.02, 22.51);
    click(a);
    QVERIFY(inRoot(startMarker.get()));
    QCOMPARE(QString::fromStdString(startMarker->getText()), QString("Start"));
    QCOMPARE(measureLabelText, QString::fromUtf8("Length\xEF\xBC\x9A" "0 m"));
    const geo::GeoPoint start = startMarker->getPosition();

    // Moving draws the live segment from the point to the pointer.
    QSignalSpy moved(m_widget, &GeoviewMapWidget::mousePositionChanged);
    moveTo(b);
    QVERIFY(liveMeasureLine.valid());
    QCOMPARE(int(liveMeasureLine->getFeature()->getGeometry()->size()), 2);
    QCOMPARE(liveMeasureLine->getFeature()->getGeometry()->front().x(), start.x());
    QVERIFY(labelText().startsWith(QString::fromUtf8("Length\xEF\xBC\x9A")));

    click(c);
    QCOMPARE(measurementCount, 1);
    QVERIFY(inRoot(endMarker.get()));
    QCOMPARE(QString::fromStdString(endMarker->getText()), QString("End"));
    const geo::LineString *line = measureLine->getFeature()->getGeometry();
    QCOMPARE(int(line->size()), 2);
    QVERIFY(liveMeasureLine->getFeature()->getGeometry()->empty());
    const osg::Vec3d end = line->back();
    // The ellipsoid's length, good to 0.01 %, in four significant digits:
    // here whole metres.
    const QRegularExpressionMatch m =
        QRegularExpression(QString::fromUtf8("^Length\xEF\xBC\x9A([0-9]+) m$")).match(labelText());
    QVERIFY2(m.hasMatch() && m.captured(1).size() == 4, qPrintable(labelText()));
    const double expected = shortLineMetres(start.x(), start.y(), end.x(), end.y());
    QVERIFY2(std::fabs(m.captured(1).toDouble() - expected) <= 0.5 + expected * 1e-4,
             qPrintable(QString("%1 against %2").arg(labelText()).arg(expected, 0, 'f', 3)));
    QCOMPARE(lengthLabel->getPosition().x(), end.x());

    screenshot("geoview-measurement");

    // A finished measurement leaves moves alone.
    const QString finishedText = labelText();
    moveTo(b);
    QCOMPARE(labelText(), finishedText);
    QVERIFY(liveMeasureLine->getFeature()->getGeometry()->empty());
}

void GeoviewSceneTest::nextMeasurementClearsTheLast()
{
    using namespace GeoviewMapState;
    showScene();
    lookDownAt(114.0, 22.5, 20000.0);
    clickButton(button("07"));
    click(pixelOf(113.98, 22.49));
    click(pixelOf(114.02, 22.51));
    const osg::ref_ptr<geo::FeatureNode> oldLine = measureLine;
    const osg::ref_ptr<geo::PlaceNode> oldStart = startMarker, oldEnd = endMarker, oldLabel = lengthLabel;

    click(pixelOf(114.0, 22.48));
    for (osg::Node *old : {static_cast<osg::Node *>(oldLine.get()), static_cast<osg::Node *>(oldStart.get()),
                           static_cast<osg::Node *>(oldEnd.get()), static_cast<osg::Node *>(oldLabel.get())})
        QVERIFY(!inRoot(old));
    QVERIFY(startMarker != oldStart && inRoot(startMarker.get()));
    QVERIFY(measureLine != oldLine && inRoot(measureLine.get()));
    QCOMPARE(measurementCount, 0);
    // One point taken: a move draws the segment from it.
    moveTo(pixelOf(114.01, 22.48));
    QCOMPARE(int(liveMeasureLine->getFeature()->getGeometry()->size()), 2);
}

void GeoviewSceneTest::clearButtonBranches()
{
    using namespace GeoviewMapState;
    showScene();
    lookDownAt(114.0, 22.5, 20000.0);
    clickButton(button("09"));
    click(pixelOf(114.01, 22.5), Qt::RightButton);
    clickButton(button("07"));
    click(pixelOf(113.98, 22.49));
    click(pixelOf(114.02, 22.51));
    QCOMPARE(int(placemarks().size()), 1);
    const osg::ref_ptr<geo::PlaceNode> placemark = placemarks().front();

    // After a finished measurement: everything goes, measuring goes off.
    clickButton(button("06"));
    QVERIFY(!inRoot(placemark.get()));
    QVERIFY(placemarks().empty());
    QVERIFY(!measureLine.valid());
    QVERIFY(!inRoot(startMarker.get()) && !inRoot(endMarker.get()) && !inRoot(lengthLabel.get()));
    QCOMPARE(imageName(button("06")), QString("Optivane06_02.png"));
    QCOMPARE(imageName(button("07")), QString("Optivane07_01.png"));
    QVERIFY(!measuringMode);

    // The measuring button then switches measuring on again.
    clickButton(button("07"));
    QVERIFY(measuringMode);
    QCOMPARE(imageName(button("07")), QString("Optivane07_02.png"));

    // A started measurement survives the other branch, which only clears
    // placemarks.
    click(pixelOf(113.98, 22.49));
    QVERIFY(inRoot(startMarker.get()));
    click(pixelOf(114.0, 22.45), Qt::RightButton);
    clickButton(button("06"));
    QVERIFY(placemarks().empty());
    QVERIFY(inRoot(startMarker.get()));
    QCOMPARE(imageName(button("06")), QString("Optivane06_01.png"));
}

void GeoviewSceneTest::buttonImagesSwap_data()
{
    QTest::addColumn<QString>("number");
    QTest::newRow("placemarks") << "09";
    QTest::newRow("measuring") << "07";
    QTest::newRow("follow") << "08";
    QTest::newRow("clear") << "06";
}

void GeoviewSceneTest::buttonImagesSwap()
{
    QFETCH(QString, number);
    showScene();
    const QMap<QString, geo::ImageControl *> buttons{{"09", button("09")},
                                                     {"07", button("07")},
                                                     {"08", button("08")},
                                                     {"06", button("06")}};
    geo::ImageControl *button = buttons.value(number);
    QCOMPARE(imageName(button), QString("Optivane%1_01.png").arg(number));
    clickButton(button);
    QCOMPARE(imageName(button), QString("Optivane%1_02.png").arg(number));
    clickButton(button);
    QCOMPARE(imageName(button), QString("Optivane%1_01.png").arg(number));
}

void GeoviewSceneTest::zoomKeysAndButtons_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("zooms");
    QTest::addColumn<double>("step");
    QTest::newRow("key 0 zooms in on press and release") << "0" << 2 << 0.1;
    QTest::newRow("key 1 zooms out on press and release") << "1" << 2 << -0.1;
    QTest::newRow("other keys do not zoom") << "2" << 0 << 0.0;
    QTest::newRow("grid button 02") << "button02" << 1 << 0.1;
    QTest::newRow("grid button 03") << "button03" << 1 << -0.1;
    QTest::newRow("the button drawn with a plus moves closer") << "plus" << 1 << -0.1;
    QTest::newRow("the button drawn with a minus moves away") << "minus" << 1 << 0.1;
}

void GeoviewSceneTest::zoomKeysAndButtons()
{
    QFETCH(QString, input);
    QFETCH(int, zooms);
    QFETCH(double, step);
    showScene();
    lookDownAt(114.0, 22.5, 1.0e6);
    const double before = manipulator()->getViewpoint().range().as(geo::Units::METERS);
    if (input == "plus" || input == "minus")
        clickButton(zoomButtonDrawnWith(input == "plus"));
    else
        changeView(input);
    // Each zoom scales the range by one plus its step.
    const double after = manipulator()->getViewpoint().range().as(geo::Units::METERS);
    QVERIFY2(std::fabs(after / before - std::pow(1.0 + step, zooms)) < 1e-9,
             qPrintable(QString("%1 m to %2 m").arg(before).arg(after)));
}

void GeoviewSceneTest::scaleBarShowsTheFrame_data()
{
    QTest::addColumn<QString>("input");
    QTest::newRow("wheel in") << "wheel in";
    QTest::newRow("wheel out") << "wheel out";
    QTest::newRow("zoom button 02") << "button02";
    QTest::newRow("zoom button 03") << "button03";
    QTest::newRow("zoom key 0") << "0";
    QTest::newRow("a new viewpoint") << "viewpoint";
}

// After any change of the view, the frame on the screen carries a bar and
// a label that together give that frame's ground distance per pixel.
void GeoviewSceneTest::scaleBarShowsTheFrame()
{
    QFETCH(QString, input);
    showScene();
    lookDownAt(114.0, 22.5, 20000.0);
    changeView(input);
    const double range = manipulator()->getViewpoint().range().as(geo::Units::METERS);
    QVERIFY(std::fabs(range - 20000.0) > 1000.0);

    // Straight down through a 30 degree view, the ground across the view's
    // height is 2 * range * tan(15 degrees); the bar counts the canvas'
    // pixels.
    const osg::Camera *camera = viewer()->getCamera();
    const double perPixel = geo::ControlCanvas::pixelRatio(viewer()) * 2.0 * range
                            * std::tan(qDegreesToRadians(15.0)) / camera->getViewport()->height();
    QVERIFY(scaleBox() != nullptr);
    const QString label = QString::fromStdString(firstUnder<geo::LabelControl>(scaleBox())->text());
    const QRegularExpressionMatch shown = QRegularExpression("^([0-9.]+) (k?m)$").match(label);
    QVERIFY2(shown.hasMatch(), qPrintable(label));
    const double metres = shown.captured(1).toDouble() * (shown.captured(2) == "km" ? 1000.0 : 1.0);
    const double width = firstUnder<geo::Frame>(scaleBox())->measure().x();
    QVERIFY2(std::fabs(metres / width - perPixel) < 0.01 * perPixel,
             qPrintable(QString("%1 over %2 pixels against %3 m a pixel").arg(label).arg(width).arg(perPixel)));
}

void GeoviewSceneTest::dragFromAButtonLeavesTheGlobe()
{
    showScene();
    lookDownAt(114.0, 22.5, 20000.0);
    const geo::ControlRect r = button("06")->rect();
    const QPoint from(int(r.x + r.width / 2), int(r.y + r.height / 2));
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    frame();
    moveTo(from + QPoint(100, 80), Qt::LeftButton);
    moveTo(from + QPoint(200, 160), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, from + QPoint(200, 160), Qt::LeftButton, Qt::NoButton);
    frame();
    const geo::GeoPoint focal = manipulator()->getViewpoint().focalPoint();
    QCOMPARE(focal.x(), 114.0);
    QCOMPARE(focal.y(), 22.5);
}

// Clicks on the buttons belong to the buttons: neither the measuring tool
// nor the measuring mode takes them as points on the globe under them.
void GeoviewSceneTest::controlClicksMeasureNothing()
{
    showScene();
    lookDownAt(114.0, 22.5, 20000.0);
    geo::MeasureToolHandler *measureTool = nullptr;
    for (const auto &handler : viewer()->getEventHandlers()) {
        if (auto *found = dynamic_cast<geo::MeasureToolHandler *>(handler.get()))
            measureTool = found;
    }
    QVERIFY(measureTool != nullptr);
    const std::vector<osg::Vec3d> &tool = measureTool->points();
    geo::ImageControl *placemarks = button("09");
    clickButton(placemarks);
    QVERIFY(tool.empty());
    const QPoint a = pixelOf(113.97, 22.5), b = pixelOf(114.03, 22.5);
    click(a);
    QCOMPARE(int(tool.size()), 1);
    // Neither ends the measurement, so the next click on the globe does...
    clickButton(placemarks);
    click(b);
    // ...and neither starts the next one.
    clickButton(placemarks);
    QCOMPARE(int(tool.size()), 2);
    QVERIFY(std::fabs(tool.front().x() - 113.97) < 1e-3 && std::fabs(tool.back().x() - 114.03) < 1e-3);

    // The tool's line is red and a few pixels thin across its middle, not
    // the 400 its style gives.
    const QImage image = screenshot("geoview-measure-tool");
    const int across = count(image, QRect((a.x() + b.x()) / 2, a.y() - 100, 1, 200), pinRed);
    QVERIFY2(across >= 1 && across <= 10, qPrintable(QString::number(across)));

    // Measuring mode: the first point stays the only one through a click on
    // a button.
    clickButton(button("07"));
    click(pixelOf(114.0, 22.48));
    clickButton(placemarks);
    QCOMPARE(GeoviewMapState::measurementCount, 0);
    moveTo(pixelOf(114.01, 22.48));
    const geo::LineString *live = GeoviewMapState::liveMeasureLine->getFeature()->getGeometry();
    QCOMPARE(int(live->size()), 2);
    QVERIFY(std::fabs(live->front().x() - 114.0) < 1e-3 && std::fabs(live->front().y() - 22.48) < 1e-3);
}

void GeoviewSceneTest::followModeSetUpOnceAndReapplied()
{
    showScene();
    GeoviewMapWidget *w = m_widget;
    // Positions a minute's flight apart at the path's 50 m/s: the holder,
    // which replays the path from the earth's centre, is far from the drone.
    const auto fly = [w](double lon) {
        // The target 300 m north opens the footprint's sector to the north.
        w->autoGoToPosition(0, 5.5, lon, 22.5 + 300.0 / 110752.0, lon, 22.5, 300, 0, 0, 0, 60, 0, 0, 0, 0);
    };
    fly(114.0);
    fly(114.03);
    // The model circling where following began: animated, beside the drone
    // that replays the path.
    auto followTransforms = [this] {
        std::vector<osg::Node *> found;
        for (unsigned i = 0; i < scene()->getNumChildren(); ++i) {
            osg::Node *child = scene()->getChild(i);
            if (child->getName() != "drone" && dynamic_cast<osg::AnimationPathCallback *>(child->getUpdateCallback()))
                found.push_back(child);
        }
        return found;
    };

    clickButton(button("08"));
    QCOMPARE(followTransforms().size(), size_t(1));
    QVERIFY(dynamic_cast<osg::AnimationPathCallback *>(droneHolder()->getUpdateCallback()));
    QVERIFY(trail() != nullptr);
    QVERIFY(manipulator()->isTethering());

    // The camera lands over the drone where it is, and stays over it as it
    // moves: straight down from 1600 m, the sector north of the view's
    // centre (1900 m above the ground, a pixel is 1.7 m).
    const QPoint north(kViewWidth / 2, kViewHeight / 2 - 88);
    const auto offTheDrone = [&](double lon, const QString &name) {
        const geo::Viewpoint now = manipulator()->getViewpoint();
        const osg::Vec3d focal = now.focalPoint().vec3d();
        if (std::fabs(focal.x() - lon) > 1e-5 || std::fabs(focal.y() - 22.5) > 1e-5 || std::fabs(focal.z() - 300.0) > 1.0
            || now.range().as(geo::Units::METERS) != 1600.0)
            return QString("looking at %1, %2, %3 m from %4 m").arg(focal.x(), 0, 'f', 6).arg(focal.y(), 0, 'f', 6)
                .arg(focal.z()).arg(now.range().as(geo::Units::METERS));
        const int cyan = count(screenshot(name), QRect(north - QPoint(3, 3), QSize(7, 7)), cyanish);
        return cyan == 49 ? QString() : QString("%1 of 49 pixels of the footprint north of the centre").arg(cyan);
    };
    QTRY_VERIFY_WITH_TIMEOUT((frame(), !manipulator()->isSettingViewpoint()), 10000);
    QCOMPARE(manipulator()->getViewpoint().pitch().as(geo::Units::DEGREES), -90.0);
    QString off = offTheDrone(114.03, "geoview-follow");
    QVERIFY2(off.isEmpty(), qPrintable(off));
    fly(114.035);
    frame();
    off = offTheDrone(114.035, "geoview-follow-moved");
    QVERIFY2(off.isEmpty(), qPrintable(off));

    clickButton(button("08"));
    QVERIFY(!manipulator()->isTethering());
    const osg::ref_ptr<osg::Node> first = followTransforms().front();
    clickButton(button("08"));
    QVERIFY(manipulator()->isTethering());
    QCOMPARE(followTransforms(), std::vector<osg::Node *>{first.get()});
    QCOMPARE(imageName(button("08")), QString("Optivane08_02.png"));
}

void GeoviewSceneTest::followButtonShowsTheTether_data()
{
    QTest::addColumn<QString>("ending");
    QTest::newRow("a pan") << "pan";
    QTest::newRow("a flight to a typed position") << "flight";
    QTest::newRow("the relocation") << "relocation";
}

// Whatever ends the follow camera's tether, the follow button shows it, and
// its next click follows again.
void GeoviewSceneTest::followButtonShowsTheTether()
{
    QFETCH(QString, ending);
    showScene();
    GeoviewMapWidget *w = m_widget;
    w->autoGoToPosition(0, 0, 0, 0, 114.0, 22.5, 300, 0, 0, 0, 0, 0, 0, 0, 0);
    clickButton(button("08"));
    QVERIFY(manipulator()->isTethering());
    const int on = litPixels(button("08"), "geoview-follow-on");
    QVERIFY2(on > 400, qPrintable(QString::number(on)));

    const QPoint centre(kViewWidth / 2, kViewHeight / 2);
    if (ending == "pan") {
        send(QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton);
        frame();
        moveTo(centre + QPoint(60, 40), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, centre + QPoint(60, 40), Qt::LeftButton, Qt::NoButton);
    } else if (ending == "flight") {
        w->manualGoToPosition(true, 114.2, 22.6, 0.0);
    } else {
        clickButton(button("01"));
        w->autoGoToPosition(0, 0, 0, 0, 114.01, 22.5, 300, 0, 0, 0, 0, 0, 0, 0, 0);
    }
    frame();
    QVERIFY(!manipulator()->isTethering());
    const int off = litPixels(button("08"), "geoview-follow-ended-by-" + ending);
    QVERIFY2(off == 0, qPrintable(QString("%1 pixels of the follow button still lit").arg(off)));

    clickButton(button("08"));
    QVERIFY(manipulator()->isTethering());
    QVERIFY(litPixels(button("08"), "geoview-follow-again") > 400);
}

void GeoviewSceneTest::trailSegmentsAreRedAndFiveWide()
{
    showScene();
    GeoviewMapWidget *w = m_widget;
    for (int i = 0; i < 5; ++i)
        w->autoGoToPosition(0, 0, 0, 0, 114.0 + 0.01 * i, 22.5 + 0.003 * i * i, 300, 0, 0, 0, 0, 0, 0, 0, 0);
    clickButton(button("08"));
    QTRY_VERIFY_WITH_TIMEOUT((frame(), !trailOf(trail()).isEmpty()), 10000);
    frame();

    // The trail reaches the holder to the centimetre.
    const osg::Vec3d holderAt = droneHolder()->getMatrix().getTrans();
    QVERIFY((trailOf(trail()).back().second - holderAt).length() < 0.01);
    osg::Node *last = trail()->getChild(trail()->getNumChildren() - 1);
    osg::Geode *geode = last->asGeode() ? last->asGeode() : last->asGroup()->getChild(0)->asGeode();
    auto *geometry = geode->getDrawable(0)->asGeometry();
    const auto *colours = static_cast<const osg::Vec4Array *>(geometry->getColorArray());
    QCOMPARE(colours->front(), osg::Vec4(1, 0, 0, 1));
    auto *width = dynamic_cast<osg::LineWidth *>(geometry->getStateSet()->getAttribute(osg::StateAttribute::LINEWIDTH));
    QVERIFY(width != nullptr);
    QCOMPARE(width->getWidth(), 5.0f);
}

void GeoviewSceneTest::straightTrailStaysShort_data()
{
    // Steps of a drone at 50 m/s drawn at 60 frames a second, 0.83 m, east
    // and north near Shenzhen, where earth-centred single-precision values
    // would round each step to half metres.
    QTest::addColumn<QVector<osg::Vec3d>>("steps");
    QTest::addColumn<int>("segments");
    const osg::Vec3d east(-0.76, 0.34, 0.0), north(0.13, -0.29, 0.77);
    QTest::newRow("a straight run is one segment from its start")
        << QVector<osg::Vec3d>(120, east) << 2;
    QTest::newRow("standing still adds nothing") << QVector<osg::Vec3d>(5, osg::Vec3d()) << 1;
    QVector<osg::Vec3d> square;
    for (const osg::Vec3d &side : {east, north, -east, -north})
        square << side << side << side;
    QTest::newRow("every turn is kept") << square << 5;
}

void GeoviewSceneTest::straightTrailStaysShort()
{
    QFETCH(QVector<osg::Vec3d>, steps);
    QFETCH(int, segments);
    osg::ref_ptr<osg::Group> track = new osg::Group;
    osg::ref_ptr<osg::MatrixTransform> holder = new osg::MatrixTransform;
    holder->addUpdateCallback(new CreateTrackCallback(track.get(), holder.get(), 5.0f));
    osgUtil::UpdateVisitor update;
    // The first segment rises from the world's origin to the first position.
    osg::Vec3d at(-2417386.0, 5384772.0, 2430621.0);
    holder->setMatrix(osg::Matrix::translate(at));
    holder->accept(update);
    for (const osg::Vec3d &step : steps) {
        at += step;
        holder->setMatrix(osg::Matrix::translate(at));
        holder->accept(update);
    }
    const QVector<QPair<osg::Vec3d, osg::Vec3d>> trail = trailOf(track.get());
    QCOMPARE(trail.size(), segments);
    QVERIFY((trail.back().second - at).length() < 0.001);
}

void GeoviewSceneTest::trailLetsItsNodeGo()
{
    osg::ref_ptr<osg::Group> track = new osg::Group;
    osg::ref_ptr<osg::MatrixTransform> holder = new osg::MatrixTransform;
    holder->addUpdateCallback(new CreateTrackCallback(track.get(), holder.get(), 5.0f));
    osg::observer_ptr<osg::MatrixTransform> watch = holder;
    holder = nullptr;
    QVERIFY2(!watch.valid(), "the trail callback keeps the drone's node alive");
}


QTEST_MAIN(GeoviewSceneTest)
#include "tst_geoviewscene.moc"
