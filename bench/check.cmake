# The link check of items sharing one address against the same number of different addresses.
quillara_add_bench(NAME bench_check SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_check.cpp)
