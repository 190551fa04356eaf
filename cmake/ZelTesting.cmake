# zel_add_test(<name> SOURCES <files...> LIBS <targets...> LABEL unit|gui|e2e
#              [TIMEOUT <seconds>])
#
# Builds a Qt Test executable and registers it with CTest. Every test gets its
# own TMPDIR so that files it leaves behind never meet another test's. GUI
# tests run on the xcb platform: the suite runs under xvfb-run, and the
# offscreen platform has no OpenGL.
function(zel_add_test name)
    cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_LABEL)
        set(ARG_LABEL unit)
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt5::Test)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    zel_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
    set(tmp ${CMAKE_BINARY_DIR}/test-tmp/${name})
    file(MAKE_DIRECTORY ${tmp})
    if(ARG_LABEL STREQUAL "unit")
        set(platform offscreen)
    else()
        set(platform xcb)
    endif()
    set_tests_properties(${name} PROPERTIES
        LABELS ${ARG_LABEL}
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=${platform};TMPDIR=${tmp};ZEL_SIM=${CMAKE_BINARY_DIR}/bin/zel-sim")
endfunction()
