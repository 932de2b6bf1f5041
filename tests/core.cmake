qv_add_test(text_test SOURCES text_test.cpp LIBS qv_text)
qv_add_test(instrumenter_test SOURCES instrumenter_test.cpp LIBS qv_scanners)
qv_add_test(depth_scanner_test SOURCES depth_scanner_test.cpp LIBS qv_scanners)
qv_add_test(handlers_test SOURCES qvload_test.cpp testlsp_test.cpp
  LIBS qv_app standin_host standin_dcl)
add_test(NAME qv_exports COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check-exports.sh $<TARGET_FILE:qv>)
