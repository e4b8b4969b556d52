// The globe's scene, built once the GL widget has its context and viewer:
// camera and manipulator, the on-screen controls, the earth file, and the
// styles and objects that pointer input, the footprint and the flight path
// use later.

#include "GeoviewMapWidget.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>

#include <osg/CullSettings>
#include <osgDB/ReadFile>
#include <osgDB/Registry>
#include <osgText/Font>

#include "GeoframeControlEventHandler.h"
#include "GeoframeUIEventHandler.h"
#include "GeoviewMapState.h"
#include "MyMeasureToolCallback.h"
#include "OsgViewerWidget.h"
#include "ScaleBarHandler.h"
#include "ZoomEventHandler.h"
#include "geo/AltitudeSymbol.h"
#include "geo/DateTime.h"
#include "geo/Grid.h"
#include "geo/HBox.h"
#include "geo/IconSymbol.h"
#include "geo/LineSymbol.h"
#include "geo/PolygonSymbol.h"
#include "geo/RenderSymbol.h"
#include "geo/TextSymbol.h"
#include "platform/CommonDataFolder.h"

namespace {

const char *const kFontFile = "simhei.ttf";

QString dataPath(const char *name)
{
    return QCoreApplication::applicationDirPath() + "/data/" + name;
}

osg::ref_ptr<osg::Image> readImage(const QString &path)
{
    return osgDB::readRefImageFile(path.toStdString(), osgDB::Registry::instance()->getOptions());
}

void setUpLabel(geo::LabelControl &label, geo::ControlCanvas &canvas)
{
    canvas.addControl(&label);
    label.setFont(osgText::readFontFile(kFontFile));
    label.setEncoding(osgText::String::ENCODING_UTF8);
}

void setOnGround(geo::Style &style)
{
    style.getOrCreate<geo::AltitudeSymbol>()->clamping = geo::AltitudeSymbol::CLAMP_TO_TERRAIN;
    style.getOrCreate<geo::AltitudeSymbol>()->technique = geo::AltitudeSymbol::TECHNIQUE_DRAPE;
}

} // namespace

void GeoviewMapWidget::onOsgInitialized()
{
    setUpViewer();
    m_manipulator->getSettings()->setArcViewpointTransitions(true);
    m_manipulator->getSettings()->setMinMaxDistance(500.0, 4.0e7);
    setUpCamera();
    m_canvas = geo::ControlCanvas::getOrCreate(m_viewer.get());
    m_root->addChild(m_canvas.get());
    addReadoutLabels();
    addGridButtons();
    m_compass = new Compass(dataPath("compass.png").toUtf8().toStdString(), m_canvas.get());
    m_compass->setView(m_viewer.get());
    loadCommonEarthFile();
    if (m_mapNode != nullptr)
        m_geographicSRS = m_mapNode->getMapSRS()->getGeographicSRS();
    setUpFootprint();
    m_viewer->setSceneData(m_root.get());
    addSky();
    setupModelTransform();
    m_modelPath = createAirLinePath(GeoviewMapState::routePoints());
    setUpPlacemarkStyles();
    if (hasMapNode("the target placemark"))
        m_targetPlacemark = new geo::PlaceNode(geo::GeoPoint(m_geographicSRS, 113.91055, 22.543854), "",
                                               GeoviewMapState::targetPlacemarkStyle);
    addScaleBar();
    addSideButtons();
    m_manipulator->setViewpoint(geo::Viewpoint("", 116.531584, 40.13731, 0.0, 0.0, -90.0, 4.0e7), 5.0);
    emit earthMapLoadFinished();
    addMeasureTool();
    GeoviewMapState::measureLine = nullptr;
    GeoviewMapState::liveMeasureLine = nullptr;
    GeoviewMapState::lengthLabel = nullptr;
    m_measurePoints.clear();
    setUpMeasureStyles();
    bindZoom();
}

void GeoviewMapWidget::setUpViewer()
{
    m_viewer = m_glWidget->getOsgViewer();
    m_viewer->setRunFrameScheme(osgViewer::ViewerBase::CONTINUOUS);
    m_viewer->setCameraManipulator(m_manipulator.get(), true);
    m_viewer->addEventHandler(new GeoframeUIEventHandler(this));
}

void GeoviewMapWidget::setUpCamera()
{
    // The viewport counts device pixels, which a scaled desktop multiplies.
    const qreal ratio = m_glWidget->devicePixelRatioF();
    const int w = int(m_glWidget->width() * ratio), h = int(m_glWidget->height() * ratio);
    osg::Camera *camera = m_viewer->getCamera();
    camera->setViewport(0, 0, w, h);
    camera->setProjectionMatrixAsPerspective(30.0, double(w) / double(h), 1.0, 1000.0);
    camera->setNearFarRatio(1e-5);
    camera->setSmallFeatureCullingPixelSize(0.0f);
    camera->setCullingMode(osg::CullSettings::VIEW_FRUSTUM_SIDES_CULLING
                           | osg::CullSettings::SHADOW_OCCLUSION_CULLING
                           | osg::CullSettings::CLUSTER_CULLING);
}

void GeoviewMapWidget::addReadoutLabels()
{
    m_readoutLabel = new geo::LabelControl("", 18.0f, osg::Vec4f(1, 1, 1, 1));
    m_readoutLabel->setHorizAlign(geo::Control::ALIGN_LEFT);
    m_readoutLabel->setVertAlign(geo::Control::ALIGN_BOTTOM);
    m_readoutLabel->setSize(400, 50);
    m_readoutLabel->setMargin(10);
    setUpLabel(*m_readoutLabel, *m_canvas);

    // Right first, then left: it ends at the left bottom, over the first
    // label, with the half-transparent background that keeps it readable.
    geo::LabelControl *coordinates = new geo::LabelControl("", 18.0f, osg::Vec4f(1, 1, 1, 1));
    GeoviewMapState::coordinateLabel = coordinates;
    coordinates->setHorizAlign(geo::Control::ALIGN_RIGHT);
    coordinates->setVertAlign(geo::Control::ALIGN_BOTTOM);
    coordinates->setBackColor(osg::Vec4f(0, 0, 0, 0.5f));
    coordinates->setSize(300, 50);
    coordinates->setHorizAlign(geo::Control::ALIGN_LEFT);
    setUpLabel(*coordinates, *m_canvas);
}

geo::ImageControl *GeoviewMapWidget::addButton(osg::Image *image)
{
    auto *button = new geo::ImageControl(image);
    button->addEventHandler(new GeoframeControlEventHandler(this));
    return button;
}

void GeoviewMapWidget::addGridButtons()
{
    // The zoom buttons belong to the grid alone: put on the canvas as well,
    // each would show a second time in the canvas' corner.
    m_gridButton02 = addButton(readImage(dataPath("Optivane02_01.png")).get());
    m_gridButton03 = addButton(readImage(dataPath("Optivane03_01.png")).get());
    osg::ref_ptr<geo::Grid> grid = new geo::Grid;
    grid->setControl(1, 1, m_gridButton02.get());
    grid->setControl(1, 2, m_gridButton03.get());
    grid->setAbsorbEvents(false);
    grid->setHorizAlign(geo::Control::ALIGN_RIGHT);
    grid->setVertAlign(geo::Control::ALIGN_BOTTOM);
    grid->setChildSpacing(20);
    grid->setPadding(25);
    m_canvas->addControl(grid.get());
}

void GeoviewMapWidget::loadCommonEarthFile()
{
    const QString source = dataPath("arcgis.earth");
    const QString folder = platform::commonDataFolder() + "/Geotiles";
    const QString target = folder + "/Geoview.earth";
    // The copy is the operator's from then on: a newer earth file beside the
    // program does not replace it.
    if (!QFile::exists(target)) {
        QDir().mkpath(QDir(folder).absolutePath());
        QFile::copy(source, target);
    }
    QFile marker(target + ".txt");
    if (marker.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        marker.write("xx", 2);
        marker.close();
    }
    syncLoadEarthFile(target);
}

void GeoviewMapWidget::setUpFootprint()
{
    m_footprintStyle.getOrCreate<geo::PolygonSymbol>()->fill().color = geo::Color(geo::Color::Cyan, 0.5f);
    setOnGround(m_footprintStyle);
    if (m_geographicSRS != nullptr)
        m_footprintCenter = geo::GeoPoint(m_geographicSRS, 113.91088, 22.543854, 1.0, geo::ALTMODE_RELATIVE);
    m_footprintRadius = geo::Distance(0.3, geo::Units::KILOMETERS);
    m_footprintStartAngle = geo::Angle(-45.0, geo::Units::DEGREES);
    m_footprintEndAngle = geo::Angle(45.0, geo::Units::DEGREES);
}

void GeoviewMapWidget::addSky()
{
    if (!hasMapNode("the sky"))
        return;
    m_skyNode = geo::SkyNode::create(m_mapNode);
    m_skyNode->setDateTime(geo::DateTime(2022, 4, 5, 5.0));
    m_skyNode->attach(m_viewer.get(), 2);
    m_root->addChild(m_skyNode.get());
}

void GeoviewMapWidget::setUpPlacemarkStyles()
{
    const std::string icon = dataPath("placemark64.png").toUtf8().toStdString();
    geo::IconSymbol *placemarkIcon = GeoviewMapState::placemarkStyle.getOrCreate<geo::IconSymbol>();
    placemarkIcon->url = icon;
    placemarkIcon->declutter = false;
    geo::TextSymbol::Halo halo;
    halo.color = geo::Color("#5f5f5f");
    GeoviewMapState::placemarkStyle.getOrCreate<geo::TextSymbol>()->halo = halo;

    geo::IconSymbol *targetIcon = GeoviewMapState::targetPlacemarkStyle.getOrCreate<geo::IconSymbol>();
    targetIcon->url = icon;
    targetIcon->declutter = false;
}

void GeoviewMapWidget::addScaleBar()
{
    if (!hasMapNode("the scale bar"))
        return;
    m_scaleBar = new ScaleBar(m_mapNode, m_viewer.get());
    osg::ref_ptr<geo::HBox> box = new geo::HBox;
    box->setHorizAlign(geo::Control::ALIGN_RIGHT);
    box->setVertAlign(geo::Control::ALIGN_TOP);
    box->setPadding(2);
    box->setChildSpacing(2);
    box->addControl(m_scaleBar->getLabel());
    box->addControl(m_scaleBar->getBar());
    // The box keeps to the height of its row: filling the view's height it
    // would lie over the zoom buttons below it and take their clicks.
    box->setForeColor(osg::Vec4f(0, 0, 0, 0.8f));
    box->setBackColor(osg::Vec4f(1, 1, 1, 0.5f));
    m_canvas->addControl(box.get());
    // On the root, so that it measures before the canvas below lays out.
    m_root->addUpdateCallback(new ScaleBarHandler(m_scaleBar.get()));
}

void GeoviewMapWidget::addSideButtons()
{
    m_image09 = readImage(dataPath("Optivane09_01.png"));
    m_image10 = readImage(dataPath("Optivane10_01.png"));
    m_image07 = readImage(dataPath("Optivane07_01.png"));
    m_image08 = readImage(dataPath("Optivane08_01.png"));
    m_image01 = readImage(dataPath("Optivane01_01.png"));
    m_image06 = readImage(dataPath("Optivane06_01.png"));
    // One row along the top edge, 50 apart; the "10" image stands for the
    // five after the first.
    if (m_image09.valid()) {
        m_button09 = addButton(m_image09.get());
        m_button09->setPosition(20, 10);
        m_canvas->addControl(m_button09.get());
    }
    if (!m_image10.valid())
        return;
    const std::pair<osg::ref_ptr<geo::ImageControl> *, osg::Image *> row[] = {
        {&m_button10, m_image10.get()}, {&m_button07, m_image07.get()}, {&m_button08, m_image08.get()},
        {&m_button01, m_image01.get()}, {&m_button06, m_image06.get()},
    };
    float x = 70.0f;
    for (const auto &button : row) {
        *button.first = addButton(button.second);
        (*button.first)->setPosition(x, 10);
        m_canvas->addControl(button.first->get());
        x += 50.0f;
    }
}

void GeoviewMapWidget::addMeasureTool()
{
    if (!hasMapNode("the measuring tool"))
        return;
    m_measureTool = new geo::MeasureToolHandler(m_mapNode);
    m_measureTool->setIntersectionMask(9);
    m_viewer->addEventHandler(m_measureTool.get());
    m_measureTool->addEventHandler(new MyMeasureToolCallback(nullptr));
    geo::Style line(m_measureTool->getLineStyle());
    line.getOrCreate<geo::LineSymbol>()->stroke().color = geo::Color::Red;
    line.getOrCreate<geo::LineSymbol>()->stroke().width = 400.0f;
    m_measureTool->setLineStyle(line);
}

void GeoviewMapWidget::setUpMeasureStyles()
{
    geo::Style &line = GeoviewMapState::measureLineStyle;
    line.getOrCreate<geo::LineSymbol>()->stroke().color = geo::Color::Yellow;
    line.getOrCreate<geo::LineSymbol>()->stroke().width = 3.0f;
    line.getOrCreate<geo::LineSymbol>()->setTessellation(20);
    setOnGround(line);
    line.getOrCreate<geo::AltitudeSymbol>()->verticalOffset = 0.1;
    GeoviewMapState::measureSegmentStyle = line;
    GeoviewMapState::measureSegmentStyle.getOrCreate<geo::LineSymbol>()->stroke().stipple = 0x00FF;

    geo::TextSymbol *text = GeoviewMapState::labelTextStyle.getOrCreate<geo::TextSymbol>();
    text->alignment = osgText::Text::LEFT_TOP;
    text->encoding = osgText::String::ENCODING_UTF8;
    text->declutter = false;
    geo::TextSymbol::Halo halo;
    halo.color = geo::Color::White;
    halo.offset = 0.05f;
    text->halo = halo;
    text->fill = geo::Color(1.0f, 0.5f, 0.0f, 1.0f);
    GeoviewMapState::labelTextStyle.getOrCreate<geo::RenderSymbol>()->lighting = false;
    text->font = kFontFile;
    text->size = 25.0f;
}

void GeoviewMapWidget::bindZoom()
{
    geo::EarthManipulator::Settings *settings = m_manipulator->getSettings();
    settings->bindScroll(geo::EarthManipulator::ACTION_ZOOM_IN, osgGA::GUIEventAdapter::SCROLL_UP);
    settings->bindScroll(geo::EarthManipulator::ACTION_ZOOM_OUT, osgGA::GUIEventAdapter::SCROLL_DOWN);
    m_viewer->addEventHandler(new ZoomEventHandler(m_manipulator.get()));
}
