# Helpers shared by every folder's CMakeLists.

# A library that is loaded at run time: only what it exports is visible, and
# no GNU-unique symbols pin it in memory, so unloading it really unloads it.
function(station_runtime_library target)
    set_target_properties(${target} PROPERTIES
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    # Only GCC makes GNU-unique symbols (and knows the flag); clang, which the
    # fuzz and sanitizer builds use, never does.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options(${target} PRIVATE -fno-gnu-unique)
    endif()
endfunction()

# station_add_test(NAME name SOURCES ... [LIBRARIES ...] [DISPLAY xvfb|offscreen]
#                  [TIMEOUT seconds] [DEPENDS targets...])
#
# A Qt Test program run by CTest. Every test gets its own TMPDIR, HOME and XDG
# folders so that local sockets, lock files, shared memory keys and data
# folders of tests running in parallel never meet. Test programs land in
# build/tests, not in the installation folder; STATION_BIN_DIR tells them
# where the installed programs are.
# Sanitizer builds run several times slower; they stretch every test's
# time-out by this factor rather than shorten the tests.
set(STATION_TEST_TIMEOUT_SCALE 1 CACHE STRING "Factor on every test's time-out")

function(station_add_test)
    cmake_parse_arguments(T "" "NAME;DISPLAY;TIMEOUT" "SOURCES;LIBRARIES;DEPENDS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE Qt5::Test ${T_LIBRARIES})
    target_compile_definitions(${T_NAME} PRIVATE
        STATION_BIN_DIR="${STATION_BIN_DIR}"
        STATION_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
    set_target_properties(${T_NAME} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(T_DEPENDS)
        add_dependencies(${T_NAME} ${T_DEPENDS})
    endif()
    station_run_test(${T_NAME} ${T_NAME} "${T_DISPLAY}" "${T_TIMEOUT}")
endfunction()

# station_add_test_run(NAME name PROGRAM test
#                      [DISPLAY xvfb|xvfb:<window manager>|offscreen]
#                      [TIMEOUT seconds] [ENVIRONMENT VAR=value...] [ARGS ...])
#
# One more run of a test program that station_add_test made, under other
# conditions (the arguments pick the test functions), in a sandbox of its own.
# With a window manager on the display, programs that hand windows to each
# other meet its reparenting and withdrawing, which a bare server never shows.
function(station_add_test_run)
    cmake_parse_arguments(T "" "NAME;PROGRAM;DISPLAY;TIMEOUT" "ENVIRONMENT;ARGS" ${ARGN})
    station_run_test(${T_NAME} ${T_PROGRAM} "${T_DISPLAY}" "${T_TIMEOUT}" ${T_ARGS})
    if(T_ENVIRONMENT)
        set_property(TEST ${T_NAME} APPEND PROPERTY ENVIRONMENT ${T_ENVIRONMENT})
    endif()
endfunction()

function(station_run_test name program display timeout)
    set(sandbox ${CMAKE_BINARY_DIR}/test-sandbox/${name})
    # Local sockets are named inside TMPDIR and XDG_RUNTIME_DIR, and a
    # socket's whole path must fit in 107 bytes: under a deep checkout the
    # sandbox's own folder leaves too little room for the names that follow.
    # Both are short folders of the system's instead, one per sandbox, linked
    # from it as tmp.
    string(MD5 sandboxHash "${sandbox}")
    string(SUBSTRING "${sandboxHash}" 0 12 sandboxHash)
    set(tmp /tmp/station-test-${sandboxHash})
    set(command $<TARGET_FILE:${program}> ${ARGN})
    if(display MATCHES "^xvfb:(.+)$")
        set(command sh ${PROJECT_SOURCE_DIR}/cmake/with-window-manager.sh ${CMAKE_MATCH_1} ${command})
    endif()
    if(display MATCHES "^xvfb")
        set(command xvfb-run -a -s "-screen 0 1280x800x24" ${command})
    endif()
    # Qt Test's own watchdog ends a test function after five minutes; it
    # stretches with the time-outs, or a slow build's test dies there while
    # CTest would still wait for it.
    set(watchdog)
    if(NOT STATION_TEST_TIMEOUT_SCALE EQUAL 1)
        math(EXPR watchdog "300000 * ${STATION_TEST_TIMEOUT_SCALE}")
        set(watchdog QTEST_FUNCTION_TIMEOUT=${watchdog})
    endif()
    add_test(NAME ${name}
        COMMAND ${CMAKE_COMMAND} -E env
            TMPDIR=${tmp} HOME=${sandbox}/home
            XDG_DATA_HOME=${sandbox}/data XDG_CONFIG_HOME=${sandbox}/config
            XDG_CACHE_HOME=${sandbox}/cache XDG_RUNTIME_DIR=${tmp}/run
            ${watchdog} ${command})
    # The sandbox starts empty at every run: nothing a crashed earlier run
    # left behind can decide the outcome of this one. The runtime folder must
    # be private to its owner or Qt and the messaging nodes refuse it.
    add_test(NAME ${name}.sandbox
        COMMAND sh -c "rm -rf '${sandbox}' '${tmp}' && mkdir -p '${tmp}/run' '${sandbox}/home' '${sandbox}/data' '${sandbox}/config' '${sandbox}/cache' && chmod 700 '${tmp}/run' && ln -s '${tmp}' '${sandbox}/tmp'")
    set_tests_properties(${name}.sandbox PROPERTIES FIXTURES_SETUP ${name}.fx)
    add_test(NAME ${name}.leftovers
        COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/end-sandbox-processes.sh ${tmp})
    set_tests_properties(${name}.leftovers PROPERTIES FIXTURES_CLEANUP ${name}.fx)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED ${name}.fx)
    if(display STREQUAL "offscreen")
        set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT QT_QPA_PLATFORM=offscreen)
    endif()
    if(NOT timeout)
        set(timeout 300)
    endif()
    math(EXPR timeout "${timeout} * ${STATION_TEST_TIMEOUT_SCALE}")
    set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout})
endfunction()
