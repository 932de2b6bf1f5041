# Tests of the stand-in host (sds_ side) and of the console program "icad".
qv_add_test(standin_host_test
  SOURCES standin_host_test.cpp standin_value_test.cpp
  LIBS standin_host)
qv_add_test(console_reader_test
  SOURCES console_reader_test.cpp
  LIBS standin_console)
