#include <QDebug>

#include "CApplicationContext.h"
#include "IMainUIService.h"

// Built when the library loads, gone when it unloads; modules only ever see
// it as IApplicationContext.
static CApplicationContext g_applicationContext;

// The launcher resolves this by its plain name and runs the whole
// application inside it: the main UI service's two calls hold the user
// interface and its event loop.
extern "C" Q_DECL_EXPORT int Run(int argc, char **argv)
{
    qDebug() << "will initialize application context";
    if (g_applicationContext.Initialize(argc, argv) != 0) {
        qDebug() << "initialize application context failed, application will exit";
        return -1;
    }
    qDebug() << "initialize application ok";

    // The module manager has logged why when the service cannot be had. The
    // service is released with the rest of its module's services below.
    auto mainUI = static_cast<IMainUIService *>(
        g_applicationContext.GetService(QStringLiteral("MainUIService"), true));
    if (mainUI) {
        mainUI->StartMainUI();
        mainUI->RunMainUI();
    }

    qDebug() << "will uninitialize application context";
    g_applicationContext.Uninitialize();
    qDebug() << "uninitialize application context over, application will exit";
    return 0;
}
