# A second check of an unchanged cabinet through the page cache against the first: bytes moved.
if(TARGET quillara_test_http)
  quillara_add_bench(NAME bench_check_cache SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_check_cache.cpp
                     LIBS quillara_test_http)
endif()
