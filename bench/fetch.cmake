# The fetch engine against plain libcurl on the loopback server.
if(TARGET quillara_test_http)
  quillara_add_bench(NAME bench_fetch SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_fetch.cpp LIBS quillara_test_http)
endif()
