# The framework library that the launcher loads at run time: the command
# line, the application context and the exported Run. Only Run and the class
# Core are visible.
add_library(Core SHARED
    ${CMAKE_CURRENT_LIST_DIR}/CApplicationContext.h ${CMAKE_CURRENT_LIST_DIR}/CApplicationContext.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Core.h ${CMAKE_CURRENT_LIST_DIR}/Core.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FrameworkOptions.h ${CMAKE_CURRENT_LIST_DIR}/FrameworkOptions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Run.cpp
)
target_link_libraries(Core PRIVATE FrameworkCore cmdline Qt5::Core)
station_runtime_library(Core)

# The configuration an installation starts from, beside the programs.
foreach(file Module.xml Event.xml)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/config/${file} ${STATION_BIN_DIR}/${file} COPYONLY)
endforeach()

add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/tests/run ${CMAKE_CURRENT_BINARY_DIR}/tests-run)
