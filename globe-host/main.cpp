#include <QApplication>
#include <QScreen>
#include <QWindow>

#include "GeodockPage.h"

// Qt's -geometry, which the start script gives, counts the desktop's scaled
// pixels: on a small screen of a scaled desktop it would open the page past
// the screen's edges, with the globe's controls out of reach. The page keeps
// to the screen's free area instead: maximised, where a window manager
// leaves room for its frame, and bounded by that area where none runs. Qt has
// applied the option to the window once it is shown, before the window
// system has answered.
static void keepOnScreen(QWidget &page)
{
    const QWindow *window = page.windowHandle();
    const QRect free = window->screen()->availableGeometry();
    if (free.contains(window->frameGeometry()))
        return;
    page.setGeometry(QRect(free.topLeft(), window->size().boundedTo(free.size())));
    page.setWindowState(page.windowState() | Qt::WindowMaximized);
}

int main(int argc, char *argv[])
{
    // Embedding another program's window needs X11.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    int result;
    {
        GeodockPage page;
        page.show();
        keepOnScreen(page);
        result = app.exec();
    }
    return result;
}
