# The bookmark file reader and the Internet Shortcut (.url) reader.
quillara_add_fuzzer(NAME fuzz_bookmarks SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_bookmarks.cpp)
quillara_add_fuzzer(NAME fuzz_url_file SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_url_file.cpp)
