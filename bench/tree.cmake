# quillara-cli tree as a whole process against xmllint --html on the same cabinet.
if(TARGET quillara-cli)
  quillara_add_bench(NAME bench_tree SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_tree.cpp)
  target_compile_definitions(bench_tree PRIVATE QUILLARA_CLI="$<TARGET_FILE:quillara-cli>")
  add_dependencies(bench_tree quillara-cli)
endif()
