# Helpers shared by every folder's CMakeLists.txt.

# orb_add_subdirs(): adds every immediate subfolder that has a CMakeLists.txt.
# Folders that gather several stand-ins (backup/, resources/, tests/) use it so
# that adding a component never means editing the folder above it.
function(orb_add_subdirs)
  file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child}
       AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# orb_test(NAME src... LIBS lib... [LABELS label...])
# One GoogleTest binary per folder, built into bin/ beside the programs and
# libraries it starts or loads. Tests get ORB_BIN_DIR so they find them.
function(orb_test name)
  cmake_parse_arguments(T "" "" "LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "ORB_BIN_DIR=${CMAKE_BINARY_DIR}/bin" LABELS "${T_LABELS}"
    DISCOVERY_TIMEOUT 60)
endfunction()
include(GoogleTest)
