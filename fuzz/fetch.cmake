# Readers of the fetch engine: the response header and the address parser.
quillara_add_fuzzer(NAME fuzz_http_header SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_http_header.cpp)
