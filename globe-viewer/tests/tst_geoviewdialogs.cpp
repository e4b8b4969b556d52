#include <QtTest>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "FieldRefusal.h"
#include "GeoviewMapInputWidget.h"
#include "GeoviewMapOffsetInputWidget.h"

using Position = std::tuple<bool, double, double, double>;

class GeoviewDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fieldsFollowThePointerOnlyWhileHidden_data();
    void fieldsFollowThePointerOnlyWhileHidden();
    void pointingButtonAlternates();
    void positionsOffTheGlobeAreRefused_data();
    void positionsOffTheGlobeAreRefused();
    void offsetIsStoredForTheNextStart_data();
    void offsetIsStoredForTheNextStart();
    void anotherFolderHasNoOffset();

private:
    QTemporaryDir m_workingDir;
};

namespace {

QLineEdit *edit(QWidget *dialog, int index)
{
    return dialog->findChildren<QLineEdit *>().value(index);
}

QPushButton *button(QWidget *dialog)
{
    return dialog->findChild<QPushButton *>();
}

// Everything the dialog says in its labels.
QString saying(QWidget *dialog)
{
    QStringList texts;
    for (const QLabel *label : dialog->findChildren<QLabel *>())
        texts << label->text();
    return texts.join('\n');
}

FieldRefusal *refusal(QWidget *dialog)
{
    return dialog->findChild<FieldRefusal *>();
}

} // namespace

void GeoviewDialogsTest::init()
{
    QVERIFY(QDir::setCurrent(m_workingDir.path()));
    QFile::remove("OsgEarth");
}

void GeoviewDialogsTest::cleanup()
{
    QLocale::setDefault(QLocale::c());
}

void GeoviewDialogsTest::fieldsFollowThePointerOnlyWhileHidden_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("C") << QLocale::c()
                       << QStringList{"114.057900", "22.543100", "12.250000", "2495000.500000", "38500000.000000"};
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany)
                            << QStringList{"114,057900", "22,543100", "12,250000", "2495000,500000",
                                           "38500000,000000"};
}

// The fields show the pointer's position as the operator's locale writes
// numbers, and the button sends what they show.
void GeoviewDialogsTest::fieldsFollowThePointerOnlyWhileHidden()
{
    QFETCH(QLocale, locale);
    QFETCH(QStringList, expected);
    QLocale::setDefault(locale);
    GeoviewMapInputWidget dialog(nullptr);
    QSignalSpy spy(&dialog, &GeoviewMapInputWidget::positionChangeds);
    dialog.updatePosition(114.0579, 22.5431, 12.25, 2495000.5, 38500000);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(edit(&dialog, i)->text(), expected[i]);

    dialog.show();
    dialog.updatePosition(1, 2, 3, 4, 5);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(edit(&dialog, i)->text(), expected[i]);
    QTest::mouseClick(button(&dialog), Qt::LeftButton);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy[0], (QVariantList{true, 114.0579, 22.5431, 12.25}));
}

void GeoviewDialogsTest::pointingButtonAlternates()
{
    GeoviewMapInputWidget dialog(nullptr);
    QSignalSpy spy(&dialog, &GeoviewMapInputWidget::positionChangeds);
    edit(&dialog, 0)->setText("10");
    edit(&dialog, 1)->setText("20");
    edit(&dialog, 2)->setText("30");

    QCOMPARE(button(&dialog)->text(), QStringLiteral("Point camera here"));
    QTest::mouseClick(button(&dialog), Qt::LeftButton);
    QCOMPARE(button(&dialog)->text(), QStringLiteral("Disable POI"));
    QTest::mouseClick(button(&dialog), Qt::LeftButton);
    QCOMPARE(button(&dialog)->text(), QStringLiteral("Point camera here"));

    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy[0], (QVariantList{true, 10.0, 20.0, 30.0}));
    QCOMPARE(spy[1], (QVariantList{false, 10.0, 20.0, 30.0}));

    QSignalSpy stopSpy(&dialog, &GeoviewMapInputWidget::stopPositionChangeds);
    dialog.StopGoToPostion();
    QCOMPARE(stopSpy.size(), 1);
}

void GeoviewDialogsTest::positionsOffTheGlobeAreRefused_data()
{
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("reason");
    QTest::newRow("latitude beyond the pole") << QStringList{"10", "95", "30"} << 1
                                              << "Lat 95 is out of range: it must lie between -90 and 90.";
    QTest::newRow("longitude past 180 east") << QStringList{"180.5", "20", "30"} << 0
                                             << "Lon 180.5 is out of range: it must lie between -180 and 180.";
    QTest::newRow("longitude too large for a double") << QStringList{"1e999", "20", "30"} << 0
                                                      << "Lon is not a finite number.";
    QTest::newRow("altitude too small for a double") << QStringList{"10", "20", "-1e999"} << 2
                                                     << "Alt is not a finite number.";
    QTest::newRow("altitude below -500 m") << QStringList{"10", "20", "-600"} << 2
                                           << "Alt -600 is out of range: it must lie between -500 and 100000 m.";
    QTest::newRow("decimal comma where the point is the separator")
        << QStringList{"113,5", "20", "30"} << 0 << "Lon \"113,5\" is not a number; decimals follow \".\".";
    QTest::newRow("empty field") << QStringList{"10", "", "30"} << 1 << "Lat is empty.";
    QTest::newRow("a sign alone") << QStringList{"10", "20", "-"} << 2
                                  << "Alt \"-\" is not a number; decimals follow \".\".";
}

// The dialog says which field is wrong and why, in full, puts the operator
// there, and sends nothing until it is mended.
void GeoviewDialogsTest::positionsOffTheGlobeAreRefused()
{
    QFETCH(QStringList, typed);
    QFETCH(int, field);
    QFETCH(QString, reason);
    GeoviewMapInputWidget dialog(nullptr);
    dialog.show();
    QSignalSpy spy(&dialog, &GeoviewMapInputWidget::positionChangeds);
    for (int i = 0; i < 3; ++i)
        edit(&dialog, i)->setText(typed[i]);

    QTest::mouseClick(button(&dialog), Qt::LeftButton);
    QCOMPARE(spy.size(), 0);
    QCOMPARE(button(&dialog)->text(), QStringLiteral("Point camera here"));
    QVERIFY2(saying(&dialog).contains(reason), qPrintable(saying(&dialog)));
    QCOMPARE(dialog.focusWidget(), edit(&dialog, field));
    const QLabel *line = refusal(&dialog);
    QTRY_VERIFY2(line->height() >= line->heightForWidth(line->width()),
                 qPrintable(QString("%1 of %2 pixels").arg(line->height()).arg(line->heightForWidth(line->width()))));

    edit(&dialog, field)->setText("0");
    typed[field] = "0";
    QTest::mouseClick(button(&dialog), Qt::LeftButton);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy[0], (QVariantList{true, typed[0].toDouble(), typed[1].toDouble(), typed[2].toDouble()}));
    QVERIFY2(!saying(&dialog).contains(reason), qPrintable(saying(&dialog)));
}

void GeoviewDialogsTest::offsetIsStoredForTheNextStart_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("offset");
    // Why the offset is refused; empty when it is taken.
    QTest::addColumn<QString>("reason");
    QTest::newRow("whole") << "15" << 15 << QString();
    QTest::newRow("negative") << "-20" << -20 << QString();
    QTest::newRow("fraction") << "2.5" << 0 << "Offset 2.5 is not a whole number of degrees.";
    QTest::newRow("empty") << "" << 0 << "Offset is empty.";
    QTest::newRow("decimal comma") << "2,5" << 0 << "Offset \"2,5\" is not a number; decimals follow \".\".";
}

// A refused offset is neither applied nor stored.
void GeoviewDialogsTest::offsetIsStoredForTheNextStart()
{
    QFETCH(QString, typed);
    QFETCH(int, offset);
    QFETCH(QString, reason);

    GeoviewMapOffsetInputWidget dialog(nullptr);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Optivane"));
    QSignalSpy spy(&dialog, &GeoviewMapOffsetInputWidget::offsetChanged);
    edit(&dialog, 0)->setText(typed);
    QTest::mouseClick(button(&dialog), Qt::LeftButton);
    QCOMPARE(refusal(&dialog)->text(), reason);
    if (!reason.isEmpty()) {
        QCOMPARE(spy.size(), 0);
        QVERIFY(!QFile::exists("OsgEarth"));
        return;
    }
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy[0][0].toInt(), offset);

    QFile file("OsgEarth");
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QStringLiteral("[General]\noffsetData=%1\n").arg(offset).toUtf8());
    QCOMPARE(GeoviewMapOffsetInputWidget::storedOffset(), offset);
}

void GeoviewDialogsTest::anotherFolderHasNoOffset()
{
    QTemporaryDir elsewhere;
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    QCOMPARE(GeoviewMapOffsetInputWidget::storedOffset(), 0);
    QFile file("OsgEarth");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[General]\noffsetData=north\n");
    file.close();
    QCOMPARE(GeoviewMapOffsetInputWidget::storedOffset(), 0);
}

QTEST_MAIN(GeoviewDialogsTest)
#include "tst_geoviewdialogs.moc"
