# Target helpers shared by every folder. Core libraries are plain C++; the
# layering check at the end of configuration refuses any core library that
# links Qt, includes a header of the GUI folders or links a library of a layer
# above its own.

set(QRV_GUI_INCLUDE_PREFIXES "app/window/" "views/panels/" "probe_editor/dialog/" "reports/pages/")

# The core layers, lowest first. A core library may link the libraries of the
# layers below its own and nothing of its own layer or above; libraries named
# in one entry are peers that stay apart. Every core library has its place here.
set(QRV_CORE_LAYERS
    "qrv_runtime"
    "qrv_text"
    "qrv_settings qrv_config qrv_service"
    "qrv_sensors"
    "qrv_onewire qrv_feed qrv_records"
    "qrv_acquisition qrv_storage qrv_sim qrv_probe_editor qrv_mqtt"
    "qrv_notify qrv_reports qrv_web"
    "qrv_printouts"
    "qrv_views"
    "qrv_shell"
    "qrv_station")

function(qrv_apply_build_options target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        # g++ 12 reports ordinary std::string concatenations as overlapping
        # copies at -O3 (-Wrestrict); a false alarm that would fail Release.
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
    if(QRV_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    if(QRV_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=undefined)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
    if(QRV_TSAN)
        target_compile_options(${target} PRIVATE -fsanitize=thread -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=thread)
    endif()
endfunction()

# qrv_core_library(name SOURCES ... [DEPENDS ...])
function(qrv_core_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
    qrv_apply_build_options(${name})
    set_property(GLOBAL APPEND PROPERTY QRV_CORE_TARGETS ${name})
endfunction()

# qrv_gui_library(name SOURCES ... [DEPENDS ...]): may link Qt.
function(qrv_gui_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    qrv_apply_build_options(${name})
endfunction()

# Every test program runs under a watchdog (qrv_test_main) that stops a single
# test running longer than this and names it.
set(QRV_TEST_TIME_LIMIT_SECONDS 45)
# A GUI or threaded test program that hangs ends before CTest's default 300 s;
# the others may take longer as a whole, never a test alone. The window tests
# take about 45 s on a free core, and twice that pinned to a busy one.
set(QRV_TEST_PROGRAM_TIMEOUT_GUI_OR_THREADED 120)
if(QRV_SANITIZE OR QRV_TSAN)
    # The sanitizers run the station's threads several times slower; the
    # watchdog above still names a single test that hangs.
    set(QRV_TEST_PROGRAM_TIMEOUT_GUI_OR_THREADED 180)
endif()
set(QRV_TEST_PROGRAM_TIMEOUT 300)

# qrv_add_test(name SOURCES ... DEPENDS ... [GUI] [THREADED] [UNSANITIZED])
# One executable per test folder topic. GUI tests run on the offscreen platform;
# THREADED tests are also run under ThreadSanitizer in CI; UNSANITIZED tests
# run only in builds without sanitizers (the caller leaves them out of those).
function(qrv_add_test name)
    cmake_parse_arguments(ARG "GUI;THREADED;UNSANITIZED" "" "SOURCES;DEPENDS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    if(QRV_ONLY_UNSANITIZED_TESTS AND NOT ARG_UNSANITIZED)
        set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
    endif()
    target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} GTest::gtest GTest::gmock qrv_test_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    qrv_apply_build_options(${name})
    if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
        # The code under test keeps the build's optimisation; the test files'
        # own code (gtest's macros, mostly) compiles in two thirds of the time
        # at -O1 and runs as fast as it needs to.
        target_compile_options(${name} PRIVATE -O1)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set(labels "")
    if(ARG_GUI)
        list(APPEND labels gui)
        set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    else()
        list(APPEND labels core)
    endif()
    if(ARG_THREADED)
        list(APPEND labels threaded)
    endif()
    if(ARG_UNSANITIZED)
        list(APPEND labels unsanitized)
    endif()
    set(timeout ${QRV_TEST_PROGRAM_TIMEOUT})
    if(ARG_GUI OR ARG_THREADED)
        set(timeout ${QRV_TEST_PROGRAM_TIMEOUT_GUI_OR_THREADED})
    endif()
    set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT ${timeout})
endfunction()

# Sets out_var to the index of the layer of a core library, or -1.
function(qrv_core_layer_of library out_var)
    set(index 0)
    foreach(layer IN LISTS QRV_CORE_LAYERS)
        string(REPLACE " " ";" members "${layer}")
        if(library IN_LIST members)
            set(${out_var} ${index} PARENT_SCOPE)
            return()
        endif()
        math(EXPR index "${index} + 1")
    endforeach()
    set(${out_var} -1 PARENT_SCOPE)
endfunction()

function(qrv_check_core_layering)
    get_property(core_targets GLOBAL PROPERTY QRV_CORE_TARGETS)
    foreach(target IN LISTS core_targets)
        qrv_core_layer_of(${target} target_layer)
        if(target_layer LESS 0)
            message(FATAL_ERROR "layering-violation: core library ${target} has no place in QRV_CORE_LAYERS")
        endif()
        foreach(prop LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
            get_target_property(libs ${target} ${prop})
            if(libs)
                foreach(lib IN LISTS libs)
                    if(lib MATCHES "^Qt[0-9]*::|Qt6|Qt5")
                        message(FATAL_ERROR "layering-violation: core library ${target} must not link Qt (${lib})")
                    endif()
                    if(TARGET ${lib})
                        if(NOT lib IN_LIST core_targets AND lib MATCHES "^qrv_")
                            message(FATAL_ERROR "layering-violation: core library ${target} links the GUI library ${lib}")
                        endif()
                        qrv_core_layer_of(${lib} lib_layer)
                        if(lib IN_LIST core_targets AND NOT lib_layer LESS target_layer)
                            message(FATAL_ERROR "layering-violation: core library ${target} links ${lib}, which is not below it in QRV_CORE_LAYERS")
                        endif()
                    endif()
                endforeach()
            endif()
        endforeach()
        get_target_property(sources ${target} SOURCES)
        get_target_property(source_dir ${target} SOURCE_DIR)
        file(GLOB headers ${source_dir}/*.h)
        foreach(src IN LISTS sources headers)
            if(NOT IS_ABSOLUTE ${src})
                set(src ${source_dir}/${src})
            endif()
            file(STRINGS ${src} includes REGEX "^[ \t]*#[ \t]*include")
            foreach(line IN LISTS includes)
                if(line MATCHES "#[ \t]*include[ \t]*<Q")
                    message(FATAL_ERROR "layering-violation: core file ${src} includes a Qt header: ${line}")
                endif()
                foreach(prefix IN LISTS QRV_GUI_INCLUDE_PREFIXES)
                    if(line MATCHES "#[ \t]*include[ \t]*\"${prefix}")
                        message(FATAL_ERROR "layering-violation: core file ${src} includes a GUI header: ${line}")
                    endif()
                endforeach()
            endforeach()
        endforeach()
    endforeach()
endfunction()
