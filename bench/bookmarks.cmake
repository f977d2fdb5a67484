# Bookmark file import against libxml2's HTML parser.
pkg_check_modules(LIBXML2 QUIET IMPORTED_TARGET libxml-2.0)
if(LIBXML2_FOUND)
  quillara_add_bench(NAME bench_bookmarks SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_bookmarks.cpp LIBS PkgConfig::LIBXML2)
endif()
