#include "OnScreenPlacement.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

OnScreenPlacement::OnScreenPlacement(QWidget *widget)
    : QObject(widget)
    , m_widget(widget)
{
}

void OnScreenPlacement::keep(QWidget *widget)
{
    auto *placement = new OnScreenPlacement(widget);
    QWindow *window = widget->windowHandle();
    if (window->isExposed()) {
        placement->fit();
        return;
    }
    window->installEventFilter(placement);
}

bool OnScreenPlacement::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed())
        fit();
    return false;
}

// Maximised where a window manager runs; the free area less the frame is
// where the page stays should the manager not maximise it, and all that
// bounds it where no manager runs.
void OnScreenPlacement::fit()
{
    const QWindow *window = m_widget->windowHandle();
    const QRect free = window->screen()->availableGeometry();
    if (!free.contains(window->frameGeometry())) {
        const QRect inside = free.marginsRemoved(window->frameMargins());
        m_widget->setGeometry(QRect(inside.topLeft(), window->size().boundedTo(inside.size())));
        m_widget->setWindowState(m_widget->windowState() | Qt::WindowMaximized);
    }
    deleteLater();
}
