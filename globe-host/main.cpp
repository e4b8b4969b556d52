#include <QApplication>

#include "GeodockPage.h"

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
        result = app.exec();
    }
    return result;
}
