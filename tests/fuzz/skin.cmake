tarno_add_fuzzer(skin SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_skin.cpp LIBS tarno_skin)
