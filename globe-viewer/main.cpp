#include <QApplication>
#include <QDebug>
#include <QFile>

#include <cstring>

#include "Geoscope.h"
#include "PacketRegistry.h"
#include "platform/CommonDataFolder.h"

namespace {

// Started without the host's flag, the program only leaves its marker and
// ends; nothing reads the marker. A missing Geoview folder is not an error.
int writeMarker()
{
    QFile marker(platform::commonDataFolder() + "/Geoview" + "/Geoview.earth" + "-Geoframe.txt");
    marker.open(QIODevice::WriteOnly | QIODevice::Truncate);
    marker.write("xx");
    marker.close();
    return 0;
}

// Decided from the raw arguments: a graphical application object aborts
// where there is no display, and marker mode needs none.
bool hostFlagGiven(int argc, char **argv)
{
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "-Geoframe") == 0)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (!hostFlagGiven(argc, argv)) {
        QCoreApplication app(argc, argv);
        return writeMarker();
    }
    // The host embeds this window by its X11 id, which only the xcb
    // platform gives.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);

    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        qWarning() << "Geoscope: the launch token is missing after" << arguments;
        return 1;
    }

    registerPacketCreators();
    int result = 0;
    {
        Geoscope window(nullptr);
        result = app.exec();
        unregisterPacketCreators();
    }
    return result;
}
