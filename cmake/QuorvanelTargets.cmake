# Target helpers shared by every folder. Core libraries are plain C++; the
# layering check at the end of configuration refuses any core library that
# links Qt, includes a Qt header or a header of the GUI folders, or links or
# includes a library of its own layer (other than itself) or above.

set(QRV_GUI_INCLUDE_PREFIXES "app/window/" "views/panels/" "probe_editor/dialog/" "reports/pages/")

# The core layers, lowest first. A core library may link and include the
# libraries of the layers below its own and nothing of its own layer or above;
# libraries named in one entry are peers that stay apart. Every core library
# has its place here, and a folder of its own: its headers are told by it.
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
    "qrv_station"
    "qrv_shell"
    "qrv_station_service")

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
if(QRV_TSAN)
    # ThreadSanitizer makes every switch between the station's threads and a
    # test's virtual clock costly: a call list worked through an hour of
    # station time takes half a minute there on a busy machine.
    set(QRV_TEST_TIME_LIMIT_SECONDS 90)
endif()
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

# The options of the test files' own code.
function(qrv_apply_test_options target)
    qrv_apply_build_options(${target})
    # Qt's users are compiled position-independent; every test file is, so
    # that the one precompiled header below is valid for all of them.
    target_compile_options(${target} PRIVATE -fPIC)
    if(QRV_SANITIZE)
        # UndefinedBehaviorSanitizer watches the station's code, in its
        # libraries; instrumenting the test files' own code as well (gtest's
        # macros, mostly) cost a third of this build's compile time and finds
        # nothing there. AddressSanitizer still covers both.
        target_compile_options(${target} PRIVATE -fno-sanitize=undefined)
    endif()
    if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
        # The code under test keeps the build's optimisation; the test files'
        # own code (gtest's macros, mostly) compiles in two thirds of the time
        # at -O1 and runs as fast as it needs to.
        target_compile_options(${target} PRIVATE -O1)
    endif()
endfunction()

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
    target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} qrv_test_doubles GTest::gtest GTest::gmock
                                          qrv_test_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    qrv_apply_test_options(${name})
    # Made with the test programs' own options (qrv_apply_test_options), as
    # g++ requires; -Winvalid-pch names any program it would not fit.
    target_precompile_headers(${name} REUSE_FROM qrv_test_pch)
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

# Sets out_var to how an include names a file of the project: relative to src/
# (the core libraries' include root), or to the project root for a file
# outside src/ (sim/ is included as "sim/..."); empty outside the project.
function(qrv_include_name_of path out_var)
    foreach(root IN ITEMS "${PROJECT_SOURCE_DIR}/src" "${PROJECT_SOURCE_DIR}")
        string(FIND "${path}/" "${root}/" at)
        if(at EQUAL 0)
            file(RELATIVE_PATH name "${root}" "${path}")
            set(${out_var} "${name}" PARENT_SCOPE)
            return()
        endif()
    endforeach()
    set(${out_var} "" PARENT_SCOPE)
endfunction()

# Sets out_var to the files the check reads for a core library: its sources
# and the headers of its folder, subfolders included, but not those of a
# subfolder with a CMakeLists.txt of its own, which defines other targets.
function(qrv_core_files_of target out_var)
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    file(GLOB_RECURSE headers "${source_dir}/*.h")
    file(GLOB_RECURSE own_projects "${source_dir}/*/CMakeLists.txt")
    foreach(project_file IN LISTS own_projects)
        get_filename_component(project_dir "${project_file}" DIRECTORY)
        set(kept "")
        foreach(header IN LISTS headers)
            string(FIND "${header}" "${project_dir}/" at)
            if(NOT at EQUAL 0)
                list(APPEND kept "${header}")
            endif()
        endforeach()
        set(headers "${kept}")
    endforeach()
    set(files "")
    foreach(src IN LISTS sources headers)
        if(NOT IS_ABSOLUTE "${src}")
            set(src "${source_dir}/${src}")
        endif()
        list(APPEND files "${src}")
    endforeach()
    list(REMOVE_DUPLICATES files)
    set(${out_var} "${files}" PARENT_SCOPE)
endfunction()

# Judges every include of a core library's files. The files of a folder
# include mostly the same headers, so each include is judged once per folder.
# Called once a core library; the owner_of_ and layer_of_ variables come from
# qrv_check_core_layering.
function(qrv_check_core_includes target files)
    set(dirs "")
    foreach(src IN LISTS files)
        # Reading the whole file and matching once is several times faster
        # than file(STRINGS) with a filter.
        file(READ "${src}" text)
        string(REGEX MATCHALL "\n[ \t]*#[ \t]*include[ \t]*[<\"][^>\"\n]*[>\"]" lines "\n${text}")
        set(qt_lines "${lines}")
        list(FILTER qt_lines INCLUDE REGEX "include[ \t]*<Q")
        if(qt_lines)
            list(GET qt_lines 0 line)
            string(STRIP "${line}" line)
            message(FATAL_ERROR "layering-violation: core file ${src} includes a Qt header: ${line}")
        endif()
        list(TRANSFORM lines REPLACE "^\n[ \t]*#[ \t]*include[ \t]*" "")
        # A system header without a folder cannot be the project's.
        list(FILTER lines EXCLUDE REGEX "^<[^/]*>$")
        set("includes_of_${src}" "${lines}")
        get_filename_component(dir "${src}" DIRECTORY)
        list(APPEND dirs "${dir}")
        list(APPEND "includes_in_${dir}" ${lines})
    endforeach()
    list(REMOVE_DUPLICATES dirs)
    foreach(dir IN LISTS dirs)
        list(REMOVE_DUPLICATES "includes_in_${dir}")
        foreach(include IN LISTS "includes_in_${dir}")
            string(REGEX REPLACE "^.(.*).$" "\\1" path "${include}")
            # The compiler looks for a quoted include next to the including
            # file first. An angle include is the project's only where the
            # project holds the file, not a system header of a folder of the
            # same name.
            if(include MATCHES "^\"")
                if(EXISTS "${dir}/${path}")
                    get_filename_component(found "${dir}/${path}" ABSOLUTE)
                    qrv_include_name_of("${found}" path)
                endif()
            elseif(NOT EXISTS "${PROJECT_SOURCE_DIR}/src/${path}" AND NOT EXISTS "${PROJECT_SOURCE_DIR}/${path}")
                continue()
            endif()
            get_filename_component(folder "${path}" DIRECTORY)
            set(owner "")
            while(NOT folder STREQUAL "")
                if(DEFINED "owner_of_${folder}/")
                    set(owner "${owner_of_${folder}/}")
                    break()
                endif()
                get_filename_component(folder "${folder}" DIRECTORY)
            endwhile()
            if(owner STREQUAL "" OR owner STREQUAL target)
                continue()
            endif()
            if(NOT owner STREQUAL "GUI" AND layer_of_${owner} LESS layer_of_${target})
                continue()
            endif()
            foreach(src IN LISTS files)
                get_filename_component(src_dir "${src}" DIRECTORY)
                if(NOT src_dir STREQUAL dir OR NOT include IN_LIST "includes_of_${src}")
                    continue()
                endif()
                if(owner STREQUAL "GUI")
                    message(FATAL_ERROR "layering-violation: core file ${src} includes a GUI header: #include ${include}")
                endif()
                file(RELATIVE_PATH shown "${PROJECT_SOURCE_DIR}" "${src}")
                message(SEND_ERROR "layering-violation: core library ${target} includes a header of ${owner}, "
                                   "which is not below it in QRV_CORE_LAYERS (${shown}: #include ${include})")
            endforeach()
        endforeach()
    endforeach()
endfunction()

# Which core library a header belongs to follows from its folder: each core
# library's folder, as an include names it, is its include prefix, and the
# longest prefix wins (reports/printouts/ is qrv_printouts, reports/ is
# qrv_reports). The GUI folders are prefixes too, of the owner "GUI". A header
# under no prefix (system headers, tests) has no owner and is not judged.
function(qrv_check_core_layering)
    get_property(core_targets GLOBAL PROPERTY QRV_CORE_TARGETS)
    foreach(prefix IN LISTS QRV_GUI_INCLUDE_PREFIXES)
        set("owner_of_${prefix}" GUI)
    endforeach()
    foreach(target IN LISTS core_targets)
        qrv_core_layer_of(${target} layer)
        if(layer LESS 0)
            message(FATAL_ERROR "layering-violation: core library ${target} has no place in QRV_CORE_LAYERS")
        endif()
        set("layer_of_${target}" ${layer})
        get_target_property(source_dir ${target} SOURCE_DIR)
        qrv_include_name_of("${source_dir}" folder)
        # A library defined in src/ or the project's root folder itself has
        # no folder of its own to tell its headers by.
        if(NOT folder STREQUAL "")
            if(DEFINED "owner_of_${folder}/")
                message(FATAL_ERROR "layering-violation: core libraries ${owner_of_${folder}/} and ${target} "
                                    "share the folder ${folder}; each core library needs a folder of its own")
            endif()
            set("owner_of_${folder}/" ${target})
        endif()
    endforeach()

    foreach(target IN LISTS core_targets)
        set(target_layer ${layer_of_${target}})
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
                        if(lib IN_LIST core_targets AND NOT layer_of_${lib} LESS target_layer)
                            message(FATAL_ERROR "layering-violation: core library ${target} links ${lib}, which is not below it in QRV_CORE_LAYERS")
                        endif()
                    endif()
                endforeach()
            endif()
        endforeach()

        qrv_core_files_of(${target} files)
        qrv_check_core_includes(${target} "${files}")
    endforeach()
endfunction()
