#include "GeoviewMapInputWidget.h"

#include <QDoubleValidator>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

#include "PositionLimits.h"

namespace {

const char pointText[] = "Point camera here";
const char disableText[] = "Disable POI";

QLineEdit *addCoordinateRow(QFormLayout *form, const QString &label)
{
    auto *edit = new QLineEdit;
    edit->setValidator(new QDoubleValidator(edit));
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

    m_refusalLabel = new QLabel;
    m_refusalLabel->setWordWrap(true);
    m_refusalLabel->setStyleSheet(QStringLiteral("color: #c00000"));
    form->addRow(m_refusalLabel);

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
    m_lonEdit->setText(QString::asprintf("%.6f", dLongitude));
    m_latEdit->setText(QString::asprintf("%.6f", dLatitude));
    m_altEdit->setText(QString::asprintf("%.6f", dAltitude));
    m_xEdit->setText(QString::asprintf("%.6f", x));
    m_yEdit->setText(QString::asprintf("%.6f", y));
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
        m_refusalLabel->clear();
    return usable;
}

bool GeoviewMapInputWidget::readField(QLineEdit *edit, const char *name, double lowest, double highest,
                                      const char *unit, double &value)
{
    // An empty or half-typed field reads as 0, as it always has; a number
    // too large for a double reads as infinity.
    value = edit->text().toDouble();
    if (!std::isfinite(value))
        return refuse(edit, tr("%1 is not a finite number.").arg(name));
    if (value < lowest || value > highest)
        return refuse(edit, tr("%1 %2 is out of range: it must lie between %3 and %4%5.")
                                .arg(name).arg(value).arg(lowest).arg(highest).arg(unit));
    return true;
}

bool GeoviewMapInputWidget::refuse(QLineEdit *edit, const QString &reason)
{
    m_refusalLabel->setText(reason);
    edit->setFocus();
    edit->selectAll();
    return false;
}

void GeoviewMapInputWidget::StopGoToPostion()
{
    emit stopPositionChangeds();
}
