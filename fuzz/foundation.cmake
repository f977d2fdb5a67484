# Readers of the foundation: the INI reader, the entity decoder and the address resolver.
quillara_add_fuzzer(NAME fuzz_entity SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_entity.cpp)
quillara_add_fuzzer(NAME fuzz_resolve_url SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_resolve_url.cpp)
quillara_add_fuzzer(NAME fuzz_profile SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_profile.cpp)
