#include "GeoviewMapOffsetInputWidget.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

#include "FieldRefusal.h"

namespace {

const char settingsFile[] = "OsgEarth";
const char offsetKey[] = "offsetData";

} // namespace

GeoviewMapOffsetInputWidget::GeoviewMapOffsetInputWidget(QWidget *parent)
    : QDialog(parent)
{
    auto *layout = new QVBoxLayout(this);
    auto *group = new QGroupBox(QStringLiteral("Offset Setting"));
    layout->addWidget(group);

    auto *form = new QFormLayout(group);
    m_offsetEdit = FieldRefusal::numberField();
    form->addRow(m_offsetEdit);
    m_refusal = new FieldRefusal;
    form->addRow(m_refusal);
    m_sendButton = new QPushButton(QStringLiteral("send"));
    form->addRow(m_sendButton);
    connect(m_sendButton, &QAbstractButton::clicked, this, &GeoviewMapOffsetInputWidget::offsetPostion);

    setWindowTitle(QStringLiteral("Optivane"));
}

int GeoviewMapOffsetInputWidget::storedOffset()
{
    QSettings settings(QLatin1String(settingsFile), QSettings::IniFormat);
    return settings.value(QLatin1String(offsetKey), QString()).toInt();
}

// The offset is whole degrees: a fraction, which the field lets the
// operator type, is refused rather than stored as 0.
void GeoviewMapOffsetInputWidget::offsetPostion()
{
    double degrees = 0.0;
    if (!m_refusal->read(m_offsetEdit, tr("Offset"), degrees))
        return;
    if (degrees != std::trunc(degrees)) {
        m_refusal->refuse(m_offsetEdit,
                          tr("Offset %1 is not a whole number of degrees.").arg(m_offsetEdit->text()));
        return;
    }
    if (degrees < std::numeric_limits<int>::min() || degrees > std::numeric_limits<int>::max()) {
        m_refusal->refuse(m_offsetEdit, tr("Offset %1 is out of range.").arg(m_offsetEdit->text()));
        return;
    }
    m_refusal->withdraw();
    const int offset = int(degrees);
    emit offsetChanged(offset);
    QSettings settings(QLatin1String(settingsFile), QSettings::IniFormat);
    settings.setValue(QLatin1String(offsetKey), QVariant(offset));
}
