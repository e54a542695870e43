tarno_add_fuzzer(jpegimage SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_jpegimage.cpp LIBS tarno_jpegimage)
