#include "FieldRefusal.h"

#include <QDoubleValidator>
#include <QLineEdit>

#include <cmath>

FieldRefusal::FieldRefusal()
{
    setWordWrap(true);
    setStyleSheet(QStringLiteral("color: #c00000"));
    // Out of the form's way until it has something to say.
    hide();
}

QLineEdit *FieldRefusal::numberField()
{
    auto *field = new QLineEdit;
    // The validator only keeps out what is no number at all: a separator in
    // the wrong place stays in the field, for read() to refuse saying why,
    // rather than vanish from under the operator's fingers.
    field->setValidator(new QDoubleValidator(field));
    return field;
}

QString FieldRefusal::shown(const QLineEdit *field, double value)
{
    QLocale locale = field->validator()->locale();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 6);
}

bool FieldRefusal::read(QLineEdit *field, const QString &name, double &value)
{
    const QString text = field->text();
    if (text.isEmpty())
        return refuse(field, tr("%1 is empty.").arg(name));
    // Grouped digits are refused: "1,135" is 1135 to one operator and 1.135
    // to another.
    QLocale locale = field->validator()->locale();
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    value = locale.toDouble(text, &ok);
    if (std::isinf(value))
        return refuse(field, tr("%1 is not a finite number.").arg(name));
    if (!ok)
        return refuse(field, tr("%1 \"%2\" is not a number; decimals follow \"%3\".")
                                 .arg(name, text, locale.decimalPoint()));
    return true;
}

bool FieldRefusal::refuse(QLineEdit *field, const QString &reason)
{
    setText(reason);
    show();
    fitHeight();
    field->setFocus();
    field->selectAll();
    return false;
}

void FieldRefusal::withdraw()
{
    clear();
    hide();
}

void FieldRefusal::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    fitHeight();
}

// A form lays a wrapped line out at the height of one line, which cuts a
// longer reason off below the dialog's button; held at the height its
// width needs, the line makes the dialog grow to show the reason whole.
void FieldRefusal::fitHeight()
{
    setMinimumHeight(heightForWidth(width()));
}
