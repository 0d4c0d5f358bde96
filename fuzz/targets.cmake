# What the fuzz build and the replay tests share: the targets with the libraries each needs, the
# support library and the seed writer. Included once per build.
include_guard(GLOBAL)
include(${PROJECT_SOURCE_DIR}/cmake/headers.cmake)

add_library(fuzz_support STATIC ${CMAKE_CURRENT_LIST_DIR}/fuzz_support.cpp)
keystash_publish_headers(fuzz_support fuzz)
target_link_libraries(fuzz_support PUBLIC platform PRIVATE keystash_warnings)
target_compile_definitions(fuzz_support PRIVATE
  KEYSTASH_ENGLISH_TABLE="${PROJECT_SOURCE_DIR}/resources/lang/keystash.exe.0409.mui")

# name -> the libraries it needs besides fuzz_support
set(KEYSTASH_FUZZ_TARGETS
  fuzz_wallet_load:core
  fuzz_card_payload:core
  fuzz_wallet_repair:core
  fuzz_form_file:forms
  fuzz_custom_forms:forms
  fuzz_legacy_wallet:core
  fuzz_tab_import:forms
  fuzz_icon:shell_services
  fuzz_wave_data:shell_services
  fuzz_registry:platform
  fuzz_string_table:platform)

# The seed writer reuses the tests' writer of previous-version wallets. It is compiled here
# from its sources, so that it is there when the unit tests are not built.
add_library(fuzz_corpus_support STATIC
  ${PROJECT_SOURCE_DIR}/tests/support/legacy_writer.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/test_support.cpp)
target_include_directories(fuzz_corpus_support PUBLIC ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(fuzz_corpus_support PUBLIC core)

add_executable(make_corpus ${CMAKE_CURRENT_LIST_DIR}/make_corpus.cpp)
target_link_libraries(make_corpus PRIVATE fuzz_corpus_support sample_wallet forms shell_services
                      fuzz_support keystash_warnings)
