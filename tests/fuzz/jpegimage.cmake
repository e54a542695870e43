tarno_add_fuzzer(jpegimage
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_jpegimage.cpp ${PROJECT_SOURCE_DIR}/ui/jpegimage.cpp
    LIBS Qt6::Gui JPEG::JPEG)
target_include_directories(fuzz_jpegimage PRIVATE ${PROJECT_SOURCE_DIR}/ui)
