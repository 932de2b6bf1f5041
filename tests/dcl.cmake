# The stand-in's dialog library: the dialog-file reader, the dlg_ functions, the terminal
# presenter and the project's dialog file dialogs/qv.dcl.
qv_add_test(dcl_reader_test SOURCES dcl_reader_test.cpp LIBS standin_dcl)
qv_add_test(dcl_dialog_test SOURCES dcl_dialog_test.cpp dcl_terminal_test.cpp LIBS standin_dcl)
target_compile_definitions(dcl_dialog_test PRIVATE QV_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
