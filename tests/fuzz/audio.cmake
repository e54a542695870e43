tarno_add_fuzzer(audio SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_audio.cpp LIBS tarno_audio)
