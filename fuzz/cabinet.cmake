# The cabinet file reader.
quillara_add_fuzzer(NAME fuzz_scb SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_scb.cpp)
