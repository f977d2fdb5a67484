# The window: opening 100,000 items to the first paint, and UI stalls during a loopback check.
if(QUILLARA_GUI)
  pkg_check_modules(BENCH_HTTPLIB QUIET IMPORTED_TARGET cpp-httplib)
  if(BENCH_HTTPLIB_FOUND)
    quillara_add_bench(NAME bench_gui SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_gui.cpp
      ${PROJECT_SOURCE_DIR}/tests/Gui/GuiTestServer.cpp ${PROJECT_SOURCE_DIR}/tests/TestSupport.cpp
      LIBS quillara_gui PkgConfig::BENCH_HTTPLIB)
  endif()
endif()
