#include <QApplication>

#include "GeodockPage.h"
#include "OnScreenPlacement.h"

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
        // Qt's -geometry, which the start script gives, counts the desktop's
        // scaled pixels: on a small screen of a scaled desktop it would open
        // the page past the screen's edges, with the globe's controls out of
        // reach; and a screen just the script's size leaves no room for a
        // window manager's frame.
        OnScreenPlacement::keep(&page);
        result = app.exec();
    }
    return result;
}
