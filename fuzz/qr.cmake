find_package(ZXing CONFIG REQUIRED)
find_package(ZLIB REQUIRED)
qm_add_fuzzer(fuzz_qr_encode
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_qr_encode.cpp ${PROJECT_SOURCE_DIR}/tests/qr/QRTestSupport.cpp
          ${PROJECT_SOURCE_DIR}/tests/qr/QRDecodeSupport.cpp
  LIBS qm_qr ZXing::ZXing ZLIB::ZLIB)
target_include_directories(fuzz_qr_encode PRIVATE ${PROJECT_SOURCE_DIR}/tests/qr)
target_compile_definitions(fuzz_qr_encode PRIVATE ZX_USE_UTF8 QM_TEST_HAS_DECODER)
qm_add_fuzzer(fuzz_qr_png_read SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_qr_png_read.cpp LIBS qm_qr)
