# The Debian package of the whole system (cpack -G DEB in the build folder):
# every program and shared library of the system and its stand-ins, side by
# side in <prefix>/bin as the build lays them out, the media files the
# installer actions read there, the agent's MIB module in /usr/share/snmp/mibs,
# the sample backup server among the documentation's examples, a systemd unit
# for snmphost, and maintainer scripts that run orbf-install on the default
# machine root.
# Tests, benchmarks and their helpers (targets under tests/ and bench/) stay out.

set(ORB_PACKAGE_UNIT "vaultline-snmphost.service")

# Every executable and shared library defined below `dir`.
function(orb_collect_targets dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(children DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(child ${children})
    orb_collect_targets(${child} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

orb_collect_targets(${CMAKE_SOURCE_DIR} orb_all_targets)
foreach(target ${orb_all_targets})
  get_target_property(type ${target} TYPE)
  get_target_property(source ${target} SOURCE_DIR)
  if(NOT type STREQUAL "EXECUTABLE" AND NOT type STREQUAL "SHARED_LIBRARY")
    continue()
  endif()
  if(source MATCHES "^${CMAKE_SOURCE_DIR}/(tests|bench)(/|$)")
    continue()
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION bin LIBRARY DESTINATION bin)
endforeach()

install(DIRECTORY ${CMAKE_BINARY_DIR}/bin/ DESTINATION bin USE_SOURCE_PERMISSIONS
        FILES_MATCHING PATTERN "*.orb" PATTERN "*.htm" PATTERN "setup.inf" PATTERN "setup.icf")

# The sample backup server is an example to read and try, not a program.
install(FILES ${CMAKE_SOURCE_DIR}/backup/ebqry/sample-server.sh
        DESTINATION /usr/share/doc/vaultline-orb/examples RENAME ebqry-sample-server.sh
        PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                    WORLD_EXECUTE)
install(FILES ${CMAKE_SOURCE_DIR}/backup/ebqry/sample-state.json
        DESTINATION /usr/share/doc/vaultline-orb/examples RENAME ebqry-sample-state.json)

# The agent's MIB module where net-snmp and other management stations look.
install(FILES ${CMAKE_SOURCE_DIR}/snmpagent/LUMORA-VAULTLINE-AGENT-MIB.txt
        DESTINATION /usr/share/snmp/mibs)

configure_file(${CMAKE_SOURCE_DIR}/packaging/snmphost.service.in
               ${CMAKE_BINARY_DIR}/packaging/${ORB_PACKAGE_UNIT} @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${ORB_PACKAGE_UNIT} DESTINATION /lib/systemd/system)
# The web console's unit, installed but not enabled; orbweb's static files go
# to <prefix>/share/orbweb (framework/orbweb/CMakeLists.txt).
configure_file(${CMAKE_SOURCE_DIR}/packaging/orbweb.service.in
               ${CMAKE_BINARY_DIR}/packaging/vaultline-orbweb.service @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/vaultline-orbweb.service
        DESTINATION /lib/systemd/system)

foreach(script postinst prerm postrm)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/${script}.in ${CMAKE_BINARY_DIR}/packaging/${script}
                 @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                 GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "vaultline-orb")
set(CPACK_PACKAGE_VERSION "1.0.0")
set(CPACK_PACKAGE_VENDOR "Norwind Systems")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Lumora Vaultline Backup integration with the Sentinex Orb management framework")
set(CPACK_PACKAGING_INSTALL_PREFIX ${ORB_PACKAGE_PREFIX})
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vaultline Orb team <vaultline-orb@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION "admin")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries load each other from their own folder (RPATH $ORIGIN).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${CMAKE_BINARY_DIR}/packaging/postinst;${CMAKE_BINARY_DIR}/packaging/prerm;${CMAKE_BINARY_DIR}/packaging/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
