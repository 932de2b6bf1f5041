# The Windows build: included by the top-level CMakeLists.txt when WIN32, after every
# target is defined.
#
# qv.dll imports the sds_ functions from "icad.exe" and the dlg_ functions from "DCL.dll"
# through import libraries made here from the project's own lists (win/icad.def,
# win/DCL.def), and exports SDS_EntryPoint alone (win/qv.def). The stand-in console `icad`
# becomes icad.exe and exports the sds_ functions; the stand-in dialog library becomes
# DCL.dll.

set(QV_WIN_DIR ${CMAKE_SOURCE_DIR}/win)
set(QV_IMPLIB_DIR ${CMAKE_BINARY_DIR}/win)
file(MAKE_DIRECTORY ${QV_IMPLIB_DIR})

if(NOT CMAKE_DLLTOOL)
  find_program(CMAKE_DLLTOOL NAMES x86_64-w64-mingw32-dlltool dlltool REQUIRED)
endif()

# qv_import_library(TARGET DEF): an interface target that links the import library that
# dlltool makes from DEF at build time.
function(qv_import_library target def)
  get_filename_component(stem ${def} NAME_WE)
  set(implib ${QV_IMPLIB_DIR}/lib${stem}.a)
  add_custom_command(OUTPUT ${implib}
    COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --output-lib ${implib}
    DEPENDS ${def}
    COMMENT "Import library ${stem} from ${def}"
    VERBATIM)
  add_custom_target(${target}_build DEPENDS ${implib})
  add_library(${target} INTERFACE)
  target_link_libraries(${target} INTERFACE ${implib})
  add_dependencies(${target} ${target}_build)
endfunction()

qv_import_library(qv_icad_imports ${QV_WIN_DIR}/icad.def)
qv_import_library(qv_dcl_imports ${QV_WIN_DIR}/DCL.def)

# The product.
target_sources(qv PRIVATE ${QV_WIN_DIR}/qv.def)
target_link_libraries(qv PRIVATE qv_icad_imports qv_dcl_imports)

# The stand-in console as icad.exe: it exports the host's functions under the names that
# qv.dll imports. The export list is win/icad.def without its LIBRARY line, which would
# turn the executable into a DLL.
if(TARGET icad)
  file(READ ${QV_WIN_DIR}/icad.def icad_def_text)
  string(REGEX REPLACE "(^|\n)LIBRARY[^\n]*" "\\1" icad_def_text "${icad_def_text}")
  file(CONFIGURE OUTPUT ${QV_IMPLIB_DIR}/icad-exports.def CONTENT "${icad_def_text}")
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${QV_WIN_DIR}/icad.def)
  # Handed to the linker directly: CMake links the .def sources of DLLs only.
  target_link_options(icad PRIVATE ${QV_IMPLIB_DIR}/icad-exports.def)
  set_property(TARGET icad APPEND PROPERTY LINK_DEPENDS ${QV_IMPLIB_DIR}/icad-exports.def)
  set_target_properties(icad PROPERTIES OUTPUT_NAME icad SUFFIX ".exe")
endif()

# The stand-in dialog library as DCL.dll: it exports the dlg_ functions (and whatever the
# stand-in console drives it with) and calls back into icad.exe.
if(TARGET standin_dcl)
  get_target_property(dcl_type standin_dcl TYPE)
  if(dcl_type STREQUAL "SHARED_LIBRARY")
    set_target_properties(standin_dcl PROPERTIES OUTPUT_NAME DCL PREFIX "")
    target_link_libraries(standin_dcl PRIVATE qv_icad_imports)
    # The linker exports every global symbol of the library's own objects (the dlg_
    # functions and the C++ controls the console calls), none of the static runtime's.
    target_link_options(standin_dcl PRIVATE "LINKER:--export-all-symbols"
      "LINKER:--exclude-libs,ALL")
  else()
    message(WARNING "standin_dcl is a ${dcl_type}: DCL.dll needs a SHARED library on Windows")
  endif()
endif()

# The folder that a Windows host run needs: icad.exe, DCL.dll, qv.dll and qv.dcl together.
set(QV_WIN_RUN_DIR ${CMAKE_BINARY_DIR}/run)
set(run_targets qv)
foreach(t icad standin_dcl)
  if(TARGET ${t})
    list(APPEND run_targets ${t})
  endif()
endforeach()
set(run_commands)
foreach(t ${run_targets})
  list(APPEND run_commands COMMAND ${CMAKE_COMMAND} -E copy_if_different
    $<TARGET_FILE:${t}> ${QV_WIN_RUN_DIR}/)
endforeach()
if(EXISTS ${CMAKE_SOURCE_DIR}/dialogs/qv.dcl)
  list(APPEND run_commands COMMAND ${CMAKE_COMMAND} -E copy_if_different
    ${CMAKE_SOURCE_DIR}/dialogs/qv.dcl ${QV_WIN_RUN_DIR}/)
endif()
add_custom_target(qv_win_run ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QV_WIN_RUN_DIR}
  ${run_commands}
  DEPENDS ${run_targets}
  COMMENT "Windows run folder ${QV_WIN_RUN_DIR}"
  VERBATIM)
