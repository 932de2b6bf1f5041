# Faults and hostile input, end to end: the built icad runs the built qv.so in a separate
# process on broken files, odd paths, wrong calls and requests out of order.
foreach(name fault_input_test fault_calls_test)
  qv_add_test(${name}
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp ${CMAKE_CURRENT_LIST_DIR}/e2e/run_icad.cpp
    LIBS qv_scanners)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  add_dependencies(${name} icad qv)
endforeach()

# A one-line source of 1 GB: several seconds, and 2 GB of temporary disk. Label "slow".
add_executable(fault_big_test ${CMAKE_CURRENT_LIST_DIR}/fault_big_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/e2e/run_icad.cpp)
target_include_directories(fault_big_test PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(fault_big_test PRIVATE GTest::gtest GTest::gtest_main)
add_dependencies(fault_big_test icad qv)
add_test(NAME fault_big_test COMMAND fault_big_test)
set_tests_properties(fault_big_test PROPERTIES LABELS slow TIMEOUT 600
  ENVIRONMENT "QV_BUILD_DIR=${CMAKE_BINARY_DIR};QV_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
