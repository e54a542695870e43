tarno_add_fuzzer(ini SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_ini.cpp LIBS tarno_settings)
