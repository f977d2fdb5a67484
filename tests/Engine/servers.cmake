# The loopback servers (HTTP, FTP) that tests and benchmarks serve pages from.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
add_library(quillara_test_http STATIC ${CMAKE_CURRENT_LIST_DIR}/TestHttpServer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TestFtpServer.cpp)
target_link_libraries(quillara_test_http PUBLIC quillara_core PkgConfig::HTTPLIB)
target_include_directories(quillara_test_http PUBLIC ${CMAKE_CURRENT_LIST_DIR})
