# Helpers shared by the folder builds.
#
# velmora_core_library(NAME DIR [DEPS ...] [EXTERNAL ...]) builds the static
# library NAME from DIR/*.cpp. With VELMORA_TESTS it also builds NAME_asan with
# AddressSanitizer and UndefinedBehaviorSanitizer, linked against the _asan
# variants of DEPS, so the core tests run once plainly and once sanitized.
#
# Each core library names the libraries below it that it may use (DEPS); the
# layers are in ARCHITECTURE.md and scripts/check-layers.sh enforces them.

# velmora_core_test(NAME DIR LIBS ... [SOURCES ...]) builds the GoogleTest
# executable NAME from DIR/*.cpp, or from SOURCES when given (and NAME_asan
# against the sanitized libraries), and registers both with CTest.

set(VELMORA_SAN_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)

function(velmora_core_library name dir)
    cmake_parse_arguments(ARG "" "" "DEPS;EXTERNAL;EXTRA_SOURCES" ${ARGN})
    file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(APPEND srcs ${ARG_EXTRA_SOURCES})
    if(NOT srcs)
        # A folder with headers only so far.
        set(srcs ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
    endif()
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_definitions(${name} PUBLIC VELMORA_VERSION="${PROJECT_VERSION}")
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} ${ARG_EXTERNAL})
    if(VELMORA_TESTS AND VELMORA_SANITIZE)
        add_library(${name}_asan STATIC ${srcs})
        target_include_directories(${name}_asan PUBLIC ${PROJECT_SOURCE_DIR})
        target_compile_definitions(${name}_asan PUBLIC VELMORA_VERSION="${PROJECT_VERSION}")
        target_compile_options(${name}_asan PUBLIC ${VELMORA_SAN_FLAGS})
        target_link_options(${name}_asan PUBLIC ${VELMORA_SAN_FLAGS})
        set(sdeps "")
        foreach(d ${ARG_DEPS})
            list(APPEND sdeps ${d}_asan)
        endforeach()
        target_link_libraries(${name}_asan PUBLIC ${sdeps} ${ARG_EXTERNAL})
    endif()
endfunction()

function(velmora_core_test name dir)
    cmake_parse_arguments(ARG "NO_ASAN" "" "LIBS;EXTERNAL;SOURCES" ${ARGN})
    if(ARG_SOURCES)
        set(srcs ${ARG_SOURCES})
    else()
        file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
    endif()
    if(NOT srcs)
        return()
    endif()
    set(variants ${name})
    if(NOT ARG_NO_ASAN AND VELMORA_SANITIZE)
        list(APPEND variants ${name}_asan)
    endif()
    foreach(v ${variants})
        add_executable(${v} ${srcs})
        set_target_properties(${v} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
        target_include_directories(${v} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
        target_compile_definitions(${v} PRIVATE
            VELMORA_BIN_DIR="${VELMORA_BIN_DIR}"
            VELMORA_TEST_BIN_DIR="${CMAKE_BINARY_DIR}/tests"
            VELMORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
        set(libs "")
        foreach(l ${ARG_LIBS} velmora_test_fakes)
            if(v MATCHES "_asan$")
                list(APPEND libs ${l}_asan)
            else()
                list(APPEND libs ${l})
            endif()
        endforeach()
        target_link_libraries(${v} PRIVATE ${libs} ${ARG_EXTERNAL} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
        if(v MATCHES "_asan$")
            # g++ 12 reports false maybe-uninitialized inside libstdc++ (std::regex,
            # std::function) once the sanitizers instrument it.
            target_compile_options(${v} PRIVATE ${VELMORA_SAN_FLAGS} -Wno-maybe-uninitialized)
            target_link_options(${v} PRIVATE ${VELMORA_SAN_FLAGS})
        endif()
        if(CMAKE_CROSSCOMPILING)
            # One run of the whole binary: starting the emulator per case costs seconds.
            add_test(NAME ${v} COMMAND ${v} --gtest_color=no)
            set_tests_properties(${v} PROPERTIES TIMEOUT 600)
        else()
            gtest_discover_tests(${v} DISCOVERY_MODE PRE_TEST TEST_PREFIX "${v}." PROPERTIES TIMEOUT 600
                ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1")
        endif()
    endforeach()
endfunction()
