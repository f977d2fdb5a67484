# The footprint file reader.
quillara_add_fuzzer(NAME fuzz_footprint SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_footprint.cpp)
