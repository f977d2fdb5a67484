# The fetch engine's tests, and the loopback servers other tests reuse.
include(${CMAKE_CURRENT_SOURCE_DIR}/servers.cmake)

quillara_add_test(NAME test_fetch_units
  SOURCES Http/test_clsUrlInformation.cpp Http/test_clsRedirectChain.cpp
  LABELS asan)
quillara_add_test(NAME test_fetch_engine
  SOURCES Core/test_clsQuillaraEngine.cpp Core/test_clsNotificationOrder.cpp Http/test_clsSendPacer.cpp Http/test_clsCommunicationHttp.cpp
    Http/test_ftpTransfers.cpp
  LIBS quillara_test_http
  LABELS tsan)
