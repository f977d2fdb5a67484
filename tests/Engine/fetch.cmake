# The fetch engine's tests and the loopback servers (HTTP, FTP) other tests reuse.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
add_library(quillara_test_http STATIC ${CMAKE_CURRENT_SOURCE_DIR}/TestHttpServer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/TestFtpServer.cpp)
target_link_libraries(quillara_test_http PUBLIC quillara_core PkgConfig::HTTPLIB)
target_include_directories(quillara_test_http PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

quillara_add_test(NAME test_fetch_units
  SOURCES Http/test_clsUrlInformation.cpp Http/test_clsRedirectChain.cpp
  LABELS asan)
quillara_add_test(NAME test_fetch_engine
  SOURCES Core/test_clsQuillaraEngine.cpp Core/test_clsNotificationOrder.cpp Http/test_clsSendPacer.cpp Http/test_clsCommunicationHttp.cpp
    Http/test_ftpTransfers.cpp
  LIBS quillara_test_http
  LABELS tsan)
