#include "GeoviewMapInputWidget.h"

#include <QDoubleValidator>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

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
    bool continueSend;
    if (m_pointButton->text() == QLatin1String(pointText)) {
        m_pointButton->setText(QLatin1String(disableText));
        continueSend = true;
    } else if (m_pointButton->text() == QLatin1String(disableText)) {
        m_pointButton->setText(QLatin1String(pointText));
        continueSend = false;
    } else {
        return;
    }
    emit positionChangeds(continueSend, m_lonEdit->text().toDouble(), m_latEdit->text().toDouble(),
                          m_altEdit->text().toDouble());
}

void GeoviewMapInputWidget::StopGoToPostion()
{
    emit stopPositionChangeds();
}
