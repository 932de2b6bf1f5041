# Tests of the stand-in host (sds_ side) and of the console program "icad".
qv_add_test(standin_host_test
  SOURCES standin_host_test.cpp standin_value_test.cpp
  LIBS standin_host)
qv_add_test(console_reader_test
  SOURCES console_reader_test.cpp
  LIBS standin_console)
# End to end: the built icad runs the built qv.so in a separate process.
qv_add_test(console_e2e_test
  SOURCES console_e2e_test.cpp e2e/run_icad.cpp
  LIBS)
target_include_directories(console_e2e_test PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(console_e2e_test PRIVATE
  QV_SOURCE_DIR_DEFAULT="${PROJECT_SOURCE_DIR}")
add_dependencies(console_e2e_test icad qv)
# An application that leaks a list and releases what is not its own, for the console's checks.
add_library(careless_app MODULE e2e/careless_app.cpp)
target_include_directories(careless_app PRIVATE ${PROJECT_SOURCE_DIR})
add_dependencies(console_e2e_test careless_app)
target_compile_definitions(console_e2e_test PRIVATE
  QV_CARELESS_APP="$<TARGET_FILE:careless_app>")
