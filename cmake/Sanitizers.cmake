# Optional instrumented builds, each meant for its own build folder.
#   WENDRO_SANITIZE: everything under AddressSanitizer and UBSan, for the test suite (g++ or clang).
#   WENDRO_FUZZ:     the libFuzzer targets under tests/fuzz (clang only).
option(WENDRO_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(WENDRO_FUZZ "Build the libFuzzer targets in tests/fuzz (needs clang)" OFF)

if(WENDRO_SANITIZE AND WENDRO_FUZZ)
    message(FATAL_ERROR "WENDRO_SANITIZE and WENDRO_FUZZ go in separate build folders")
endif()

# Undefined behaviour stops the run like a memory error does, instead of printing and going on.
set(wendro_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)

if(WENDRO_SANITIZE)
    add_compile_options(${wendro_sanitizers})
    add_link_options(-fsanitize=address,undefined)
endif()

if(WENDRO_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "WENDRO_FUZZ needs clang (configure with CXX=clang++-14)")
    endif()
    # Every object gets the coverage hooks; only the fuzz targets link libFuzzer's main().
    add_compile_options(${wendro_sanitizers} -fsanitize=fuzzer-no-link)
    add_link_options(-fsanitize=address,undefined)
endif()

# The benchmarks and the screenshot and sample-day tools are no tests: the sanitized build,
# which runs the test suite only, leaves them out of `all` to save its slow compiles.
function(wendro_sanitized_tests_only)
    foreach(dir bench tools/dialogshot tools/sampleday)
        if(IS_DIRECTORY ${CMAKE_SOURCE_DIR}/${dir})
            get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR}/${dir} PROPERTY BUILDSYSTEM_TARGETS)
            if(targets)
                set_target_properties(${targets} PROPERTIES EXCLUDE_FROM_ALL TRUE)
            endif()
        endif()
    endforeach()
endfunction()
if(WENDRO_SANITIZE AND CMAKE_VERSION VERSION_GREATER_EQUAL 3.19)
    cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL wendro_sanitized_tests_only)
endif()
