# Content analysis: the Japanese code converter and the HTML analyzer fed in random block cuts.
quillara_add_fuzzer(NAME fuzz_converter SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_converter.cpp)
quillara_add_fuzzer(NAME fuzz_analyzer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_analyzer.cpp)
