# Included by cpack before it packs (CPACK_PROJECT_CONFIG_FILE): the Debian
# dependencies of the shipped programs, from dpkg-shlibdeps. CPack's own
# run of it would also take the private plugins in lib/velmora for
# libraries in the linker's path and add ldconfig calls to the maintainer
# scripts, which the package must not have.
if(CPACK_GENERATOR STREQUAL "DEB")
    set(work "${CPACK_VELMORA_SHLIBDEPS_DIR}")
    file(REMOVE_RECURSE "${work}")
    file(MAKE_DIRECTORY "${work}/debian")
    file(WRITE "${work}/debian/control" "")
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C dpkg-shlibdeps -O ${CPACK_VELMORA_ELF_FILES}
        WORKING_DIRECTORY "${work}"
        RESULT_VARIABLE result OUTPUT_VARIABLE found ERROR_VARIABLE errors)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "dpkg-shlibdeps failed: ${errors}")
    endif()
    string(REGEX REPLACE "^.*shlibs:Depends=" "" found "${found}")
    string(STRIP "${found}" found)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${found}, ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
endif()
