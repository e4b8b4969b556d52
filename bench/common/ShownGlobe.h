#pragma once

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <osg/NodeVisitor>

#include <cstdio>
#include <string>

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

    static osgViewer::Viewer *viewer(GeoviewMapWidget &widget)
    {
        return widget.findChild<OsgViewerWidget *>()->getOsgViewer();
    }

    // The first node of the scene called `name`; null without one.
    static osg::Node *node(GeoviewMapWidget &widget, const std::string &name)
    {
        struct Finder : osg::NodeVisitor
        {
            explicit Finder(const std::string &wanted) : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN), name(wanted) {}
            void apply(osg::Node &node) override
            {
                if (found == nullptr && node.getName() == name)
                    found = &node;
                if (found == nullptr)
                    traverse(node);
            }
            std::string name;
            osg::Node *found = nullptr;
        } finder(name);
        viewer(widget)->getSceneData()->accept(finder);
        return finder.found;
    }

    // The on-screen button that shows the image file `name`.
    static geo::ImageControl *button(GeoviewMapWidget &widget, const QString &name)
    {
        for (const auto &control : geo::ControlCanvas::getOrCreate(viewer(widget))->controls()) {
            auto *image = dynamic_cast<geo::ImageControl *>(control.get());
            if (image && image->getImage()
                && QFileInfo(QString::fromStdString(image->getImage()->getFileName())).fileName() == name)
                return image;
        }
        return nullptr;
    }

private:
    QTemporaryDir m_dataHome;
};
