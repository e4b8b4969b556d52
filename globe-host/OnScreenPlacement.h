#pragma once

#include <QObject>

class QWidget;

// Keeps a shown top-level widget within its screen's free area, frame
// included. A window manager frames a window only after it is shown, and Qt
// learns the frame no earlier than the window's first exposure: decided
// before that, a window the size of the screen looks as if it fitted, and
// its frame then pushes its bottom off the screen.
class OnScreenPlacement : public QObject
{
    Q_OBJECT

public:
    // Decides once, at the widget's first exposure, then deletes itself.
    static void keep(QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit OnScreenPlacement(QWidget *widget);
    void fit();

    QWidget *m_widget;
};
