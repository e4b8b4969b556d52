// Geodesy against published reference values: great circles, WGS84
// geocentric coordinates, units, calendar and the sun's position.

#include <QtTest>

#include <cmath>

#include "geo/Angle.h"
#include "geo/DateTime.h"
#include "geo/Distance.h"
#include "geo/GeoMath.h"
#include "geo/GeoPoint.h"
#include "geo/SkyNode.h"

using namespace geo;

namespace {

double radians(double degrees, double minutes = 0.0, double seconds = 0.0)
{
    const double sign = degrees < 0.0 ? -1.0 : 1.0;
    return osg::DegreesToRadians(sign * (std::fabs(degrees) + minutes / 60.0 + seconds / 3600.0));
}

// Los Angeles and New York airports, the worked example of the aviation
// formulary (E. Williams): 33°57'N 118°24'W and 40°38'N 73°47'W.
const double kLaxLat = radians(33, 57), kLaxLon = radians(-118, 24);
const double kJfkLat = radians(40, 38), kJfkLon = radians(-73, 47);

// The formulary's sphere: one nautical mile is one minute of arc.
const double kNauticalMileSphere = 1852.0 * 60.0 * 180.0 / M_PI;

} // namespace

class GeodesyTest : public QObject
{
    Q_OBJECT

private slots:
    void greatCircleDistance_data();
    void greatCircleDistance();
    void distanceOfPointsInAReference();
    void initialCourse();
    void destinationAlongACourse();
    void geocentricCoordinates_data();
    void geocentricCoordinates();
    void unitConversions_data();
    void unitConversions();
    void julianDay_data();
    void julianDay();
    void sunPosition_data();
    void sunPosition();
};

void GeodesyTest::greatCircleDistance_data()
{
    QTest::addColumn<double>("lat1");
    QTest::addColumn<double>("lon1");
    QTest::addColumn<double>("lat2");
    QTest::addColumn<double>("lon2");
    QTest::addColumn<double>("metres");
    QTest::addColumn<double>("tolerance");

    // One degree of longitude on the WGS84 equator: 111.319 490 8 km.
    QTest::newRow("one degree on the equator") << 0.0 << 0.0 << 0.0 << radians(1) << 111319.4908 << 0.001;
    // Half the equator: the 20 037 508.34 m half-extent of the world's
    // web map tiles.
    QTest::newRow("half the equator") << 0.0 << radians(-90) << 0.0 << radians(90) << 20037508.34 << 0.01;
    QTest::newRow("pole to pole") << radians(90) << 0.0 << radians(-90) << 0.0 << 20037508.34 << 0.01;
    // LAX to JFK: 0.623585 radians of arc (2144 nautical miles).
    QTest::newRow("LAX to JFK") << kLaxLat << kLaxLon << kJfkLat << kJfkLon << 0.623585 * 6378137.0 << 4.0;
    QTest::newRow("JFK to LAX") << kJfkLat << kJfkLon << kLaxLat << kLaxLon << 0.623585 * 6378137.0 << 4.0;
    QTest::newRow("same point") << kLaxLat << kLaxLon << kLaxLat << kLaxLon << 0.0 << 1e-9;
}

void GeodesyTest::greatCircleDistance()
{
    QFETCH(double, lat1);
    QFETCH(double, lon1);
    QFETCH(double, lat2);
    QFETCH(double, lon2);
    QFETCH(double, metres);
    QFETCH(double, tolerance);

    const double distance = GeoMath::distance(lat1, lon1, lat2, lon2);
    QVERIFY2(std::fabs(distance - metres) <= tolerance, qPrintable(QString::number(distance, 'f', 4)));
}

void GeodesyTest::distanceOfPointsInAReference()
{
    // The distance read-outs pass (longitude, latitude, height) in degrees
    // and metres, or world points; heights do not count.
    const SpatialReference *geographic = SpatialReference::wgs84Geographic();
    const osg::Vec3d a(0.0, 0.0, 0.0), b(1.0, 0.0, 5000.0);
    QCOMPARE(std::round(GeoMath::distance(a, b, geographic) * 1000.0) / 1000.0, 111319.491);

    osg::Vec3d worldA, worldB;
    geographic->transformToWorld(a, worldA);
    geographic->transformToWorld(b, worldB);
    QVERIFY(std::fabs(GeoMath::distance(worldA, worldB, geographic->getGeocentricSRS()) - 111319.4908) < 0.001);
    QCOMPARE(GeoMath::distance(a, b, nullptr), 0.0);

    const GeoPoint p(geographic, 0.0, 0.0), q(geographic, 1.0, 0.0);
    QVERIFY(std::fabs(p.distanceTo(q) - 111319.4908) < 0.001);
}

void GeodesyTest::initialCourse()
{
    // The formulary's LAX to JFK course: 1.150035 radians (66 degrees).
    QVERIFY(std::fabs(GeoMath::bearing(kLaxLat, kLaxLon, kJfkLat, kJfkLon) - 1.150035) < 2e-6);
    QCOMPARE(GeoMath::bearing(0.0, 0.0, 0.0, radians(1)), M_PI / 2.0);
    QCOMPARE(GeoMath::bearing(0.0, 0.0, radians(-1), 0.0), M_PI);
    QVERIFY(std::fabs(GeoMath::bearing(0.0, 0.0, 0.0, radians(-1)) - 1.5 * M_PI) < 1e-12);
}

void GeodesyTest::destinationAlongACourse()
{
    // The formulary: 100 nautical miles from LAX on course 66 degrees ends
    // at 34°37'N 116°33'W (given to the minute).
    double lat, lon;
    GeoMath::destination(kLaxLat, kLaxLon, radians(66), 100.0 * 1852.0, lat, lon, kNauticalMileSphere);
    const double minute = radians(0, 1);
    QVERIFY2(std::fabs(lat - radians(34, 37)) < minute, qPrintable(QString::number(osg::RadiansToDegrees(lat))));
    QVERIFY2(std::fabs(lon - radians(-116, 33)) < minute, qPrintable(QString::number(osg::RadiansToDegrees(lon))));

    // Across the date line the longitude comes back into [-pi, pi).
    GeoMath::destination(0.0, radians(179.5), M_PI / 2.0, 111319.4908, lat, lon);
    QVERIFY(std::fabs(lon - radians(-179.5)) < 1e-9);
}

void GeodesyTest::geocentricCoordinates_data()
{
    QTest::addColumn<double>("lon");
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("height");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("z");

    // The worked example of the EPSG guidance note on coordinate
    // conversions (geographic to geocentric, WGS 84).
    QTest::newRow("EPSG worked example")
        << osg::RadiansToDegrees(radians(2, 7, 46.380)) << osg::RadiansToDegrees(radians(53, 48, 33.820))
        << 73.0 << 3771793.968 << 140253.342 << 5124304.349;
    // The axes: the semi-axes 6378137 m and 6356752.3142 m of WGS84.
    QTest::newRow("equator, prime meridian") << 0.0 << 0.0 << 0.0 << 6378137.0 << 0.0 << 0.0;
    QTest::newRow("equator, 90 east") << 90.0 << 0.0 << 0.0 << 0.0 << 6378137.0 << 0.0;
    QTest::newRow("north pole") << 0.0 << 90.0 << 0.0 << 0.0 << 0.0 << 6356752.3142;
    QTest::newRow("south pole, 1 km up") << 0.0 << -90.0 << 1000.0 << 0.0 << 0.0 << -6357752.3142;
}

void GeodesyTest::geocentricCoordinates()
{
    QFETCH(double, lon);
    QFETCH(double, lat);
    QFETCH(double, height);
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(double, z);

    const GeoPoint point(SpatialReference::wgs84Geographic(), lon, lat, height);
    const GeoPoint geocentric = point.transform(SpatialReference::wgs84Geocentric());
    QVERIFY(geocentric.isValid());
    QVERIFY2((geocentric.vec3d() - osg::Vec3d(x, y, z)).length() < 0.001,
             qPrintable(QStringLiteral("%1 %2 %3").arg(geocentric.x(), 0, 'f', 4)
                            .arg(geocentric.y(), 0, 'f', 4).arg(geocentric.z(), 0, 'f', 4)));

    // And back, to a tenth of a millimetre.
    const GeoPoint back = geocentric.transform(SpatialReference::wgs84Geographic());
    QVERIFY(std::fabs(back.y() - lat) < 1e-9);
    QVERIFY(std::fabs(back.z() - height) < 1e-4);
    if (std::fabs(lat) < 90.0)
        QVERIFY(std::fabs(back.x() - lon) < 1e-9);
}

void GeodesyTest::unitConversions_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<double>("expected");

    QTest::newRow("km to m") << 0.3 << "km" << "m" << 300.0;
    QTest::newRow("international mile") << 1.0 << "mi" << "m" << 1609.344;
    QTest::newRow("nautical mile") << 1.0 << "nm" << "m" << 1852.0;
    QTest::newRow("mile in feet") << 1.0 << "mi" << "ft" << 5280.0;
    QTest::newRow("US survey foot") << 3937.0 << "ftUS" << "m" << 1200.0;
    QTest::newRow("half turn") << 180.0 << "deg" << "rad" << M_PI;
    QTest::newRow("kinds never mix") << 2.0 << "km" << "deg" << 2.0;
}

void GeodesyTest::unitConversions()
{
    QFETCH(double, value);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(double, expected);

    const QMap<QString, const Units *> units = {
        {"m", &Units::METERS}, {"km", &Units::KILOMETERS}, {"ft", &Units::FEET},
        {"ftUS", &Units::US_SURVEY_FEET}, {"mi", &Units::MILES}, {"nm", &Units::NAUTICAL_MILES},
        {"deg", &Units::DEGREES}, {"rad", &Units::RADIANS}};
    const double converted = Units::convert(*units[from], *units[to], value);
    QVERIFY2(std::fabs(converted - expected) < 1e-9 * std::max(1.0, expected), qPrintable(QString::number(converted, 'g', 15)));

    if (units[from]->kind() == Units::Kind::Length)
        QCOMPARE(Distance(value, *units[from]).as(*units[to]), converted);
    else
        QCOMPARE(Angle(value, *units[from]).as(*units[to]), converted);
}

void GeodesyTest::julianDay_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<double>("hours");
    QTest::addColumn<double>("julianDay");

    // The epoch J2000.0 and Meeus' examples (Astronomical Algorithms,
    // chapter 7: the launch of Sputnik and the table of Gregorian dates).
    QTest::newRow("J2000") << 2000 << 1 << 1 << 12.0 << 2451545.0;
    QTest::newRow("Sputnik") << 1957 << 10 << 4 << 0.81 * 24.0 << 2436116.31;
    QTest::newRow("January 1987") << 1987 << 1 << 27 << 0.0 << 2446822.5;
    QTest::newRow("June 1988") << 1988 << 6 << 19 << 12.0 << 2447332.0;
    QTest::newRow("leap day") << 2024 << 2 << 29 << 0.0 << 2460369.5;
}

void GeodesyTest::julianDay()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(double, hours);
    QFETCH(double, julianDay);

    QVERIFY(std::fabs(DateTime(year, month, day, hours).julianDay() - julianDay) < 1e-6);
}

void GeodesyTest::sunPosition_data()
{
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<double>("hours");
    QTest::addColumn<double>("lon"); // NaN: not checked
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("tolerance");

    const double any = std::nan("");
    // Equinoxes and solstices of 2022 (UTC): the sun stands over the
    // equator, then over the tropics at the obliquity of 23.436 degrees.
    QTest::newRow("March equinox") << 3 << 20 << 15.55 << any << 0.0 << 0.02;
    QTest::newRow("June solstice") << 6 << 21 << 9.233 << any << 23.436 << 0.02;
    QTest::newRow("September equinox") << 9 << 23 << 1.067 << any << 0.0 << 0.02;
    QTest::newRow("December solstice") << 12 << 21 << 21.80 << any << -23.436 << 0.02;
    // The equation of time at its extremes: the sun crosses Greenwich
    // 16.4 minutes before noon on 3 November and 14.2 minutes after it on
    // 11 February, so at noon it has moved on 4.1 degrees west, or is still
    // 3.55 degrees east.
    QTest::newRow("noon, 3 November") << 11 << 3 << 12.0 << -4.1 << any << 0.1;
    QTest::newRow("noon, 11 February") << 2 << 11 << 12.0 << 3.55 << any << 0.1;
    // Midnight puts the sun near the date line, on the same side.
    QTest::newRow("midnight, 3 November") << 11 << 3 << 0.0 << 175.9 << any << 0.1;
}

void GeodesyTest::sunPosition()
{
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(double, hours);
    QFETCH(double, lon);
    QFETCH(double, lat);
    QFETCH(double, tolerance);

    const osg::Vec2d under = SkyNode::subsolarPoint(DateTime(2022, month, day, hours));
    if (!std::isnan(lon))
        QVERIFY2(std::fabs(under.x() - lon) < tolerance, qPrintable(QString::number(under.x())));
    if (!std::isnan(lat))
        QVERIFY2(std::fabs(under.y() - lat) < tolerance, qPrintable(QString::number(under.y())));

    // The sky's light comes from there.
    osg::ref_ptr<SkyNode> sky = SkyNode::create(nullptr);
    sky->setDateTime(DateTime(2022, month, day, hours));
    osg::Vec3d toSun;
    SpatialReference::wgs84Geographic()->transformToWorld(osg::Vec3d(under.x(), under.y(), 0.0), toSun);
    toSun.normalize();
    QVERIFY(std::acos(std::min(1.0, toSun * sky->sunDirection())) < osg::DegreesToRadians(0.2));
    const osg::Vec4 position = sky->getSunLight()->getPosition();
    QCOMPARE(position.w(), 0.0f);
}

QTEST_MAIN(GeodesyTest)
#include "tst_geodesy.moc"
