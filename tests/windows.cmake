# The suite on Windows, run under Wine: every folder whose code builds there,
# on the system's own services. What tests a POSIX or Qt service stays in the
# Linux suite.
add_library(ostrak_test_support STATIC support/FolderNames.cpp support/IsolatedServices_win.cpp
  support/LockedFile_win.cpp support/LoopbackPeer_win.cpp support/OtherInstance_win.cpp
  support/ScriptedHttpPeer_win.cpp support/ScriptedSplashView.cpp support/RunProcess.cpp support/Subprocess_win.cpp
  support/HttpServers.cpp support/TempDir.cpp)
target_include_directories(ostrak_test_support PUBLIC ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
target_link_libraries(ostrak_test_support PUBLIC GTest::gtest GTest::gmock Threads::Threads ostrak_platform ws2_32)
ostrak_warnings(ostrak_test_support)
add_library(ostrak_test_main_core STATIC support/main_win.cpp)
target_link_libraries(ostrak_test_main_core PUBLIC ostrak_test_support)

add_subdirectory(checksum)
add_subdirectory(filelist)
target_sources(ostrak_test_support PRIVATE support/ScriptedDialogs.cpp)

# The platform services on Windows: the portable ones, and what only Windows
# has (the registry, the named mutex, the shell link, drive paths).
ostrak_test(platform_test
  SOURCES platform/ansi_text_test.cpp platform/dialogs_test.cpp platform/files_test.cpp
          platform/windows_services_test.cpp
          platform/win32_view_test.cpp platform/temporary_files_test.cpp
          platform/tick_count_test.cpp platform/message_window_test.cpp
  DEPS ostrak_platform ostrak_platform_win32 ostrak_winsock)

add_subdirectory(signature)

# The socket service and CSocket over ws2_32, against the scripted peers;
# the descriptor-limit cases (tcp_server_test, notification_test) are POSIX.
ostrak_test(sockets_test
  SOURCES sockets/SocketTestSupport.cpp sockets/error_text_test.cpp sockets/service_test.cpp
          sockets/tcp_client_test.cpp sockets/tcp_close_test.cpp sockets/udp_test.cpp
          sockets/data_test.cpp sockets/host_lookup_test.cpp
  DEPS ostrak_sockets)

# FrmConnect against scripted HTTP peers and python's server (a Linux program
# started from Wine). nginx, ostrak_fetch and the descriptor limits are Linux-only.
ostrak_test(http_test
  SOURCES http/response_head_test.cpp http/wire_test.cpp http/response_cases_test.cpp
          http/failures_test.cpp http/queue_test.cpp http/tick_test.cpp http/stall_rule_test.cpp
          http/phase_test.cpp http/retrieve_html_test.cpp http/connection_test.cpp
  DEPS ostrak_http)

# The Linux build's publisher tool (scripts/test builds it first), which the
# tests below start from Wine.
set(OSTRAK_RELEASE_TOOL ${PROJECT_SOURCE_DIR}/build/tools/release/ostrak_release
    CACHE FILEPATH "ostrak_release of the Linux build, for the tests under Wine")

# The window's state and actions on the scripted view, on the Windows services
# (the uninstall on the Windows folder tree, without the link cases: Wine makes
# no symbolic links); the installs are published and served by the Linux
# tools.
ostrak_test(installer_test
  SOURCES installer/frmSplash_window_test.cpp installer/pause_test.cpp
          installer/server_config_test.cpp installer/download_test.cpp
          installer/install_flow_test.cpp installer/signed_install_test.cpp
          installer/uninstall_test.cpp
          installer/InstallerSandbox.cpp
  DEPS ostrak_installer)
target_compile_definitions(installer_test PRIVATE OSTRAK_RELEASE_BIN="${OSTRAK_RELEASE_TOOL}")

# The real program under Wine, installing and removing a release served on
# loopback; skipped without the publisher's tool.
add_test(NAME InstallerUnderWine.InstallThenUninstallWithMouseAndKeys
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/installer/install_uninstall_wine.sh
          $<TARGET_FILE:ostrak_install> ${OSTRAK_RELEASE_TOOL})
set_tests_properties(InstallerUnderWine.InstallThenUninstallWithMouseAndKeys PROPERTIES
  SKIP_RETURN_CODE 77 TIMEOUT 180 RUN_SERIAL TRUE)

# Holds the Wine desktop open for a whole run (scripts/wine-env: keep_desktop).
add_executable(keep_desktop support/keep_desktop_win.cpp)
ostrak_warnings(keep_desktop)
