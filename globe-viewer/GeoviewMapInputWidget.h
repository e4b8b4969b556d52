#pragma once

#include <QDialog>

class FieldRefusal;
class QLineEdit;
class QPushButton;

// The position dialog: shows the coordinates under the pointer while it is
// hidden, and points the camera at a typed position. A position off the
// globe, or a field that holds no number, is refused in the dialog, which
// says which field is wrong and why.
class GeoviewMapInputWidget : public QDialog
{
    Q_OBJECT

public:
    explicit GeoviewMapInputWidget(QWidget *parent);

signals:
    void positionChangeds(bool continueSend, double dLongitude, double dLatitude, double dAltitude);
    void stopPositionChangeds();

public slots:
    void updatePosition(double dLongitude, double dLatitude, double dAltitude, double x, double y);
    void goToPostion();
    void StopGoToPostion();

private:
    // Reads Lon, Lat and Alt; false, with the reason shown and the field
    // in focus, when one is not usable.
    bool readPosition(double &longitude, double &latitude, double &altitude);
    bool readField(QLineEdit *edit, const char *name, double lowest, double highest, const char *unit,
                   double &value);

    QLineEdit *m_lonEdit;
    QLineEdit *m_latEdit;
    QLineEdit *m_altEdit;
    QLineEdit *m_xEdit;
    QLineEdit *m_yEdit;
    QPushButton *m_pointButton;
    FieldRefusal *m_refusal;
};
