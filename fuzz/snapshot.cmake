# Snapshots: the page and style sheet rewriter, and the snapshot cabinet's List and snapshot readers.
quillara_add_fuzzer(NAME fuzz_snapshot_rewriter SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_snapshot_rewriter.cpp)
quillara_add_fuzzer(NAME fuzz_snapshot_files SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_snapshot_files.cpp)
