# vorn_add_test(NAME name SOURCES ... [LIBS ...] [XCB])
# Widget tests run on the offscreen platform; XCB tests need the X server that
# test.sh starts (anything with a QOpenGLWidget, and the end-to-end runs).
function(vorn_add_test)
    cmake_parse_arguments(T "XCB;GUILESS" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
    target_compile_options(${T_NAME} PRIVATE ${VORN_WARNINGS})
    target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    if(T_XCB)
        set(platform "QT_QPA_PLATFORM=xcb")
        set_property(TEST ${T_NAME} PROPERTY LABELS xcb)
        # One X server for all of them: tests that look at the screen run alone.
        set_property(TEST ${T_NAME} PROPERTY RUN_SERIAL TRUE)
    else()
        set(platform "QT_QPA_PLATFORM=offscreen")
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "${platform};VORN_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
endfunction()

