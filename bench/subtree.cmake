# Expand all of a page whose links share one address against one whose links all differ.
quillara_add_bench(NAME bench_subtree SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_subtree.cpp)
