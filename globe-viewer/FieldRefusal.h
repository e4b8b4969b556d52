#pragma once

#include <QLabel>

class QLineEdit;

// The line of a dialog that says which of its number fields was refused and
// why. The fields show and read numbers in their own locale, as their
// validator takes them: "113,5" is 113.5 where the comma is the decimal
// separator, and is refused where it is not, never read as 0.
class FieldRefusal : public QLabel
{
    Q_OBJECT

public:
    FieldRefusal();

    // A field that lets the operator type a number.
    static QLineEdit *numberField();
    // `value` to six decimals, as the field shows numbers.
    static QString shown(const QLineEdit *field, double value);

    // The number in `field`; false, with the field refused, when it holds
    // none.
    bool read(QLineEdit *field, const QString &name, double &value);
    // Says why and puts the operator in the field; false.
    bool refuse(QLineEdit *field, const QString &reason);
    void withdraw();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitHeight();
};
