# Fuzzing build: with KEYSTASH_FUZZ=ON (clang only) every library is instrumented for coverage,
# AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz targets in this folder are built.
# Included from the top-level list before the libraries are added, so that the options reach them.
include_guard(GLOBAL)

option(KEYSTASH_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

if(KEYSTASH_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KEYSTASH_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  # Undefined behaviour in the libraries must stop the run as a crash, not only print a line.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  # The programs and tests built beside the targets need the sanitizer runtimes to link.
  add_link_options(-fsanitize=address,undefined)
  add_subdirectory(${CMAKE_CURRENT_LIST_DIR} ${CMAKE_BINARY_DIR}/fuzz)
endif()
