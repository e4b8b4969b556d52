#include "GeoviewMapInputWidget.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "FieldRefusal.h"
#include "PositionLimits.h"

namespace {

const char pointText[] = "Point camera here";
const char disableText[] = "Disable POI";

QLineEdit *addCoordinateRow(QFormLayout *form, const QString &label)
{
    QLineEdit *edit = FieldRefusal::numberField();
    form->addRow(label, edit);
    return edit;
}

} // namespace

GeoviewMapInputWidget::GeoviewMapInputWidget(QWidget *parent)
    : QDialog(parent)
{
    auto *layout = new QVBoxLayout(this);
    auto *group = new QGroupBox(QStringLiteral("Location"));
    layout->addWidget(group);

    auto *form = new QFormLayout(group);
    m_lonEdit = addCoordinateRow(form, QStringLiteral("Lon"));
    m_latEdit = addCoordinateRow(form, QStringLiteral("Lat"));
    m_altEdit = addCoordinateRow(form, QStringLiteral("Alt"));
    m_xEdit = addCoordinateRow(form, QStringLiteral("X"));
    m_yEdit = addCoordinateRow(form, QStringLiteral("Y"));

    m_refusal = new FieldRefusal;
    form->addRow(m_refusal);

    m_pointButton = new QPushButton(QLatin1String(pointText));
    form->addRow(m_pointButton);
    connect(m_pointButton, &QAbstractButton::clicked, this, &GeoviewMapInputWidget::goToPostion);
}

// While the dialog is open its fields keep what the operator sees or types.
void GeoviewMapInputWidget::updatePosition(double dLongitude, double dLatitude, double dAltitude,
                                           double x, double y)
{
    if (!isHidden())
        return;
    // In the fields' locale, so that what they show is what a click reads.
    m_lonEdit->setText(FieldRefusal::shown(m_lonEdit, dLongitude));
    m_latEdit->setText(FieldRefusal::shown(m_latEdit, dLatitude));
    m_altEdit->setText(FieldRefusal::shown(m_altEdit, dAltitude));
    m_xEdit->setText(FieldRefusal::shown(m_xEdit, x));
    m_yEdit->setText(FieldRefusal::shown(m_yEdit, y));
}

void GeoviewMapInputWidget::goToPostion()
{
    const QString text = m_pointButton->text();
    if (text != QLatin1String(pointText) && text != QLatin1String(disableText))
        return;
    // A refused position leaves the button as it was: nothing was sent.
    double longitude = 0.0, latitude = 0.0, altitude = 0.0;
    if (!readPosition(longitude, latitude, altitude))
        return;
    const bool continueSend = text == QLatin1String(pointText);
    m_pointButton->setText(QLatin1String(continueSend ? disableText : pointText));
    emit positionChangeds(continueSend, longitude, latitude, altitude);
}

bool GeoviewMapInputWidget::readPosition(double &longitude, double &latitude, double &altitude)
{
    using namespace PositionLimits;
    const bool usable = readField(m_lonEdit, "Lon", -kLongitude, kLongitude, "", longitude)
                        && readField(m_latEdit, "Lat", -kLatitude, kLatitude, "", latitude)
                        && readField(m_altEdit, "Alt", kLowestAltitude, kHighestAltitude, " m", altitude);
    if (usable)
        m_refusal->withdraw();
    return usable;
}

bool GeoviewMapInputWidget::readField(QLineEdit *edit, const char *name, double lowest, double highest,
                                      const char *unit, double &value)
{
    if (!m_refusal->read(edit, QLatin1String(name), value))
        return false;
    if (value < lowest || value > highest)
        return m_refusal->refuse(edit, tr("%1 %2 is out of range: it must lie between %3 and %4%5.")
                                           .arg(QLatin1String(name), edit->text())
                                           .arg(lowest)
                                           .arg(highest)
                                           .arg(QLatin1String(unit)));
    return true;
}

void GeoviewMapInputWidget::StopGoToPostion()
{
    emit stopPositionChangeds();
}
