#pragma once

#include <QDialog>

class FieldRefusal;
class QLineEdit;
class QPushButton;

// Takes the whole degrees that the camera footprint adds to its heading and
// keeps them in the viewer's settings file for the next start; anything else
// in the field is refused, saying why, and neither applied nor stored.
class GeoviewMapOffsetInputWidget : public QDialog
{
    Q_OBJECT

public:
    explicit GeoviewMapOffsetInputWidget(QWidget *parent);

    // The viewer's settings file, "OsgEarth" in the working directory, and
    // the yaw offset stored in it (0 when absent or not a number).
    static int storedOffset();

signals:
    void offsetChanged(int dOffset);

public slots:
    void offsetPostion();

private:
    QLineEdit *m_offsetEdit;
    QPushButton *m_sendButton;
    FieldRefusal *m_refusal;
};
