#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// The position dialog: shows the coordinates under the pointer while it is
// hidden, and points the camera at a typed position.
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
    QLineEdit *m_lonEdit;
    QLineEdit *m_latEdit;
    QLineEdit *m_altEdit;
    QLineEdit *m_xEdit;
    QLineEdit *m_yEdit;
    QPushButton *m_pointButton;
};
