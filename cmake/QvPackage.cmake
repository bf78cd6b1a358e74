# The Debian package (make package, CPack's DEB generator): the three programs, manual pages
# made from their --help, the desktop entry and icon, and the copyright and changelog files
# Debian asks for. The resource file and pictures install from resources/resources.cmake.
find_program(QV_HELP2MAN help2man REQUIRED)
find_program(QV_GZIP gzip REQUIRED)

set(QV_PACKAGE_NAME qvl70s)
set(QV_PACKAGE_MAINTAINER
    "QV-L70s maintainers <maintainers@users.noreply.c-seed-174a5607.example>"
    CACHE STRING "Maintainer field of the Debian package")
set(QV_PACKAGE_RELEASE 1)
set(qv_packaging ${CMAKE_SOURCE_DIR}/packaging)
set(qv_generated ${CMAKE_BINARY_DIR}/packaging)
set(qv_docdir ${CMAKE_INSTALL_DATADIR}/doc/${QV_PACKAGE_NAME})
file(MAKE_DIRECTORY ${qv_generated})

install(TARGETS qvl70s qvl70s-cli qvl70s-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The package's version must have its changelog entry, or dpkg and lintian disagree.
file(STRINGS ${qv_packaging}/changelog qv_changelog_top LIMIT_COUNT 1)
set(qv_deb_version ${PROJECT_VERSION}-${QV_PACKAGE_RELEASE})
if(NOT qv_changelog_top MATCHES "^${QV_PACKAGE_NAME} \\(${qv_deb_version}\\) ")
    message(FATAL_ERROR "packaging/changelog starts with '${qv_changelog_top}': add an entry "
                        "for ${qv_deb_version}")
endif()

set(qv_generated_files ${qv_generated}/changelog.Debian.gz)
add_custom_command(OUTPUT ${qv_generated}/changelog.Debian.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${qv_packaging}/changelog ${qv_generated}/changelog.Debian
    COMMAND ${QV_GZIP} -9nf ${qv_generated}/changelog.Debian
    DEPENDS ${qv_packaging}/changelog
    VERBATIM)

# Each program's manual page is its --help and --version, as help2man lays them out, plus
# an optional help2man include file made by a command run first.
function(qv_manual_page program what)
    cmake_parse_arguments(M "" "INCLUDE" "INCLUDE_COMMAND;INCLUDE_DEPENDS" ${ARGN})
    set(page ${qv_generated}/${program}.1)
    set(include_option)
    if(M_INCLUDE)
        set(include_option --include=${M_INCLUDE})
    endif()
    add_custom_command(OUTPUT ${page}.gz
        ${M_INCLUDE_COMMAND}
        COMMAND ${QV_HELP2MAN} --no-info --section=1 --name=${what} ${include_option}
                --output=${page} $<TARGET_FILE:${program}>
        COMMAND ${QV_GZIP} -9nf ${page}
        DEPENDS ${program} ${M_INCLUDE_DEPENDS}
        COMMENT "Manual page of ${program} from its --help"
        VERBATIM)
    set(qv_generated_files ${qv_generated_files} ${page}.gz PARENT_SCOPE)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
qv_manual_page(qvl70s "check and calibrate a multi-angle spectrophotometer")
qv_manual_page(qvl70s-cli "check and calibrate a multi-angle spectrophotometer without a window"
    INCLUDE ${qv_generated}/qvl70s-cli-verbs.h2m
    INCLUDE_COMMAND COMMAND bash ${qv_packaging}/verb-help $<TARGET_FILE:qvl70s-cli>
                            ${qv_generated}/qvl70s-cli-verbs.h2m
    INCLUDE_DEPENDS ${qv_packaging}/verb-help)
qv_manual_page(qvl70s-sim "a simulated multi-angle spectrophotometer on a pseudo-terminal")
add_custom_target(qvpackagefiles ALL DEPENDS ${qv_generated_files})

install(FILES ${qv_packaging}/qvl70s.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icon128.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps RENAME qvl70s.png)
install(FILES ${qv_packaging}/copyright ${qv_generated}/changelog.Debian.gz
        DESTINATION ${qv_docdir})
# Examples an administrator copies to /etc/systemd/system: the fleet page rewritten on a timer.
install(FILES ${qv_packaging}/examples/qvl70s-fleet-page.service
              ${qv_packaging}/examples/qvl70s-fleet-page.timer
        DESTINATION ${qv_docdir}/examples)
install(FILES ${qv_packaging}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${QV_PACKAGE_NAME})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${QV_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "check and calibrate a multi-angle spectrophotometer")
set(CPACK_PACKAGE_DESCRIPTION
    "QV-L70s connects a multi-angle colour-measuring instrument (a spectrophotometer
on a serial port: 31 reflectances from 400 to 700 nm at 25, 45 and 75 degrees),
calibrates it, checks its repeatability, compares it with a reference
instrument and writes correction factors into one of its user-calibration
entries.

This package holds the desktop program qvl70s, the same checks without a window
in qvl70s-cli, and qvl70s-sim, a simulated instrument on a pseudo-terminal.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QV_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QV_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the libraries the programs link, as dpkg-shlibdeps finds them, and the SQLite and
# PostgreSQL drivers of Qt SQL, which the logbook loads as plug-ins (no program links them).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
include(CPack)
