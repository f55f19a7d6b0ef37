# Helpers shared by every folder of the project.

# Warnings for our own targets.
function(ostrak_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(OSTRAK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# ostrak_library(NAME SOURCES ... [DEPS ...]): a static library of the listed
# sources, with src/ and the generated headers on the include path. Per-OS
# sources are named <service>_${OSTRAK_OS}.cpp in the lists.
function(ostrak_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${A_DEPS})
  ostrak_warnings(${name})
  # Coverage for libFuzzer; the harnesses link the fuzzer itself.
  if(OSTRAK_FUZZ)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# ostrak_test(NAME SOURCES ... DEPS ... [WIDGETS]): one GoogleTest executable,
# registered with CTest test by test. Every test runs with its own settings,
# config and runtime folders under the build tree, and widgets render on the
# offscreen platform.
function(ostrak_test name)
  cmake_parse_arguments(A "WIDGETS" "TIMEOUT" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  if(A_WIDGETS)
    target_link_libraries(${name} PRIVATE ostrak_test_main_widgets)
  else()
    target_link_libraries(${name} PRIVATE ostrak_test_main_core)
  endif()
  target_link_libraries(${name} PRIVATE ${A_DEPS} ostrak_test_support)
  ostrak_warnings(${name})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  if(WIN32)
    # Under Wine: the build tree through drive Z:, and a registry key and a
    # mutex prefix of the test's own in the one prefix all tests share. The
    # tests are listed when ctest runs, inside the prefix scripts/test boots.
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
      "env;OSTRAK_SOURCE_DIR=Z:${PROJECT_SOURCE_DIR};OSTRAK_BINARY_DIR=Z:${PROJECT_BINARY_DIR};OSTRAK_SETTINGS_KEY=Software\\Ostrak tests\\${name};OSTRAK_MUTEX_PREFIX=${name}.;wine")
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      PROPERTIES
        TIMEOUT ${A_TIMEOUT})
    return()
  endif()
  set(home ${CMAKE_CURRENT_BINARY_DIR}/${name}.home)
  file(MAKE_DIRECTORY ${home} ${home}/config ${home}/runtime)
  file(CHMOD ${home}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  # The environment goes through env(1) as the tests' launcher: a list given
  # as the ENVIRONMENT property is cut at its first ";" by gtest_discover_tests.
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
    "env;HOME=${home};XDG_CONFIG_HOME=${home}/config;XDG_RUNTIME_DIR=${home}/runtime;QT_QPA_PLATFORM=offscreen;OSTRAK_SOURCE_DIR=${PROJECT_SOURCE_DIR};OSTRAK_BINARY_DIR=${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES
      TIMEOUT ${A_TIMEOUT})
endfunction()
