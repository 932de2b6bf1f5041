# Tests of the command-line tool: its balance checker in process, the program end to end.
if(TARGET qv_balance)
  qv_add_test(cli_balance_test SOURCES cli_balance_test.cpp LIBS qv_balance)
endif()
if(TARGET qv_tool)
  qv_add_test(cli_tool_test SOURCES cli_tool_test.cpp LIBS qv_cli)
  target_compile_definitions(cli_tool_test PRIVATE QV_TEST_VERSION="${PROJECT_VERSION}")
  add_dependencies(cli_tool_test qv_tool)
endif()
