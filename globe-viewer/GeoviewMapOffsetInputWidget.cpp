#include "GeoviewMapOffsetInputWidget.h"

#include <QDoubleValidator>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

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
    m_offsetEdit = new QLineEdit;
    m_offsetEdit->setValidator(new QDoubleValidator(m_offsetEdit));
    form->addRow(m_offsetEdit);
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

// The validator accepts fractions, but the offset is whole degrees: 2.5 or
// an empty field give 0, which is emitted and stored as such.
void GeoviewMapOffsetInputWidget::offsetPostion()
{
    const int offset = m_offsetEdit->text().toInt(nullptr, 10);
    emit offsetChanged(offset);
    QSettings settings(QLatin1String(settingsFile), QSettings::IniFormat);
    settings.setValue(QLatin1String(offsetKey), QVariant(offset));
}
