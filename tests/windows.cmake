# The Windows build's checks, run from the native build.
#
# windows_def_lists: win/icad.def and win/DCL.def list exactly the functions of host/sds.h.
# check_dll_script: scripts/check-dll.sh on small DLLs with one fault each (needs the
# MinGW-w64 compiler; skipped without it).
# With -DQV_WINE_BUILD_DIR=<cross build directory> (see scripts/wine-ci.sh) also:
# windows_qv_dll_tables: qv.dll exports SDS_EntryPoint alone and imports from icad.exe,
#   DCL.dll and system DLLs only; icad.exe and DCL.dll need no MinGW runtime DLL.
# windows_sessions: the console sessions under Wine, compared byte for byte with this build.
if(NOT CMAKE_HOST_UNIX OR WIN32)
  return()
endif()

add_test(NAME windows_def_lists COMMAND ${CMAKE_SOURCE_DIR}/win/check-defs.sh ${CMAKE_SOURCE_DIR})
add_test(NAME check_dll_script
  COMMAND ${CMAKE_SOURCE_DIR}/win/check-dll-test.sh ${CMAKE_SOURCE_DIR})
set_tests_properties(check_dll_script PROPERTIES SKIP_RETURN_CODE 77)

set(QV_WINE_BUILD_DIR "" CACHE PATH "Cross build directory whose products run under Wine")
if(QV_WINE_BUILD_DIR)
  add_test(NAME windows_qv_dll_tables
    COMMAND sh -c "\"$0\" \"$1/qv.dll\" && \"$0\" --imports-only \"$1\"/run/*.exe \"$1\"/run/*.dll"
      ${CMAKE_SOURCE_DIR}/scripts/check-dll.sh ${QV_WINE_BUILD_DIR})
  add_test(NAME windows_sessions
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-e2e.sh --source ${CMAKE_SOURCE_DIR}
      --linux ${CMAKE_BINARY_DIR} --windows ${QV_WINE_BUILD_DIR})
  set_tests_properties(windows_sessions PROPERTIES SKIP_RETURN_CODE 77)
endif()
