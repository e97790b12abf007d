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
  # Parameterized tests are named by their name generators; the parameter's
  # bytes stay out of the test's name.
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "ORB_BIN_DIR=${CMAKE_BINARY_DIR}/bin" LABELS "${T_LABELS}"
    DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES)
endfunction()
include(GoogleTest)

# orb_find_package(NAME [find_package args...] DEBIAN package...)
# find_package that, when the package is missing, stops with the Debian
# package to install instead of CMake's search report.
macro(orb_find_package orb_fp_name)
  cmake_parse_arguments(orb_fp "" "" "DEBIAN" ${ARGN})
  find_package(${orb_fp_name} ${orb_fp_UNPARSED_ARGUMENTS} QUIET)
  if(NOT ${orb_fp_name}_FOUND)
    orb_missing_package(${orb_fp_name} ${orb_fp_DEBIAN})
  endif()
endmacro()

# orb_pkg_check(PREFIX MODULE DEBIAN package...)
# pkg_check_modules(PREFIX IMPORTED_TARGET MODULE) with the same message.
macro(orb_pkg_check orb_pc_prefix orb_pc_module)
  cmake_parse_arguments(orb_pc "" "" "DEBIAN" ${ARGN})
  pkg_check_modules(${orb_pc_prefix} QUIET IMPORTED_TARGET ${orb_pc_module})
  if(NOT ${orb_pc_prefix}_FOUND)
    orb_missing_package(${orb_pc_module} ${orb_pc_DEBIAN})
  endif()
endmacro()

function(orb_missing_package what)
  string(REPLACE ";" " " debs "${ARGN}")
  message(FATAL_ERROR
    "${what} was not found. Install the Debian package(s): ${debs}\n"
    "  (scripts/install-deps installs everything the build needs)")
endfunction()
