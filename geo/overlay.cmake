# Screen controls, annotations and the measuring tool of the globe, and the
# viewer's data files; included from this folder's CMakeLists.
target_sources(geo PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/FontFileLookup.h ${CMAKE_CURRENT_LIST_DIR}/FontFileLookup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Control.h ${CMAKE_CURRENT_LIST_DIR}/Control.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControlEventHandler.h
    ${CMAKE_CURRENT_LIST_DIR}/ControlContainer.h ${CMAKE_CURRENT_LIST_DIR}/ControlContainer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HBox.h ${CMAKE_CURRENT_LIST_DIR}/HBox.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Grid.h ${CMAKE_CURRENT_LIST_DIR}/Grid.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LabelControl.h ${CMAKE_CURRENT_LIST_DIR}/LabelControl.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ImageControl.h ${CMAKE_CURRENT_LIST_DIR}/ImageControl.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Frame.h
    ${CMAKE_CURRENT_LIST_DIR}/ControlCanvas.h ${CMAKE_CURRENT_LIST_DIR}/ControlCanvas.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Color.h ${CMAKE_CURRENT_LIST_DIR}/Color.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Style.h ${CMAKE_CURRENT_LIST_DIR}/Style.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AnnotationNode.h ${CMAKE_CURRENT_LIST_DIR}/AnnotationNode.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PlaceNode.h ${CMAKE_CURRENT_LIST_DIR}/PlaceNode.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FeatureNode.h ${CMAKE_CURRENT_LIST_DIR}/FeatureNode.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CircleNode.h ${CMAKE_CURRENT_LIST_DIR}/CircleNode.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CircleNodeEditor.h ${CMAKE_CURRENT_LIST_DIR}/CircleNodeEditor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EllipsoidGeodesic.h ${CMAKE_CURRENT_LIST_DIR}/EllipsoidGeodesic.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MeasureToolHandler.h ${CMAKE_CURRENT_LIST_DIR}/MeasureToolHandler.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Symbol.h
    ${CMAKE_CURRENT_LIST_DIR}/LineSymbol.h
    ${CMAKE_CURRENT_LIST_DIR}/PolygonSymbol.h
    ${CMAKE_CURRENT_LIST_DIR}/AltitudeSymbol.h
    ${CMAKE_CURRENT_LIST_DIR}/IconSymbol.h
    ${CMAKE_CURRENT_LIST_DIR}/TextSymbol.h
    ${CMAKE_CURRENT_LIST_DIR}/RenderSymbol.h
    ${CMAKE_CURRENT_LIST_DIR}/LineString.h
    ${CMAKE_CURRENT_LIST_DIR}/Feature.h
)

add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/data-gen)

station_add_test(NAME geo_controls
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/tst_controls.cpp
    LIBRARIES geo
    DISPLAY xvfb)

station_add_test(NAME geo_annotations
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/tst_annotations.cpp
    LIBRARIES geo Qt5::Gui)

station_add_test(NAME geo_measuring
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/tst_measuring.cpp
    LIBRARIES geo)

station_add_test(NAME geo_datafiles
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/tst_datafiles.cpp
    LIBRARIES geo Qt5::Gui
    DISPLAY offscreen
    DEPENDS geo-data)

station_add_test(NAME geo_overlayscene
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/tst_overlayscene.cpp
    LIBRARIES geo gl-widget Qt5::Widgets
    DISPLAY xvfb
    DEPENDS geo-data)
