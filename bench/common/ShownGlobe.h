#pragma once

#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>

#include "GeoviewMapWidget.h"
#include "OsgViewerWidget.h"

// The complete globe scene as the viewer shows it, for the benchmarks that
// draw it. Made before the application object: the viewer copies its earth
// file into the common data folder, which is kept out of the user's own.
class ShownGlobe
{
public:
    ShownGlobe() { qputenv("XDG_DATA_HOME", m_dataHome.path().toUtf8()); }

    // Shows `widget` at 1280x800 and waits until its scene is built; false,
    // after a message, when the GL widget never comes up.
    static bool show(GeoviewMapWidget &widget)
    {
        OsgViewerWidget *gl = widget.findChild<OsgViewerWidget *>();
        QSignalSpy initialized(gl, &OsgViewerWidget::initialized);
        widget.resize(1280, 800);
        widget.show();
        if (initialized.isEmpty() && !initialized.wait(20000)) {
            std::fprintf(stderr, "the GL widget never came up\n");
            return false;
        }
        return true;
    }

private:
    QTemporaryDir m_dataHome;
};
