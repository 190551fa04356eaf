# The Debian package: build/zel-tool_<version>_<arch>.deb through CPack
# (`cpack` in the build folder, or scripts/package). It holds whatever the
# install rules name (the programs, the desktop entry, the icons, the
# AppStream metadata) and, from here, the files Debian asks of every package.

include(GNUInstallDirs)

set(ZEL_PACKAGE_NAME zel-tool)
set(ZEL_PACKAGE_MAINTAINER "Orvix ZEL PC Tool developers <zel-tool@orvix.example>")
set(ZEL_PACKAGE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${ZEL_PACKAGE_NAME})

# Debian wants a copyright file and a changelog in every package; the
# changelog is gzip-compressed without a name or a time stamp, so that two
# builds of one release give the same bytes.
set(ZEL_PACKAGE_FILES ${CMAKE_BINARY_DIR}/package-files)
string(SUBSTRING ${ZEL_RELEASE_DATE} 0 4 ZEL_RELEASE_YEAR)
file(WRITE ${ZEL_PACKAGE_FILES}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Orvix ZEL PC Tool
Upstream-Contact: ${ZEL_PACKAGE_MAINTAINER}

Files: *
Copyright: ${ZEL_RELEASE_YEAR} Orvix
License: proprietary
 All rights reserved.
")
execute_process(COMMAND date -u -R -d "${ZEL_RELEASE_DATE} 12:00:00"
    OUTPUT_VARIABLE ZEL_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
file(WRITE ${ZEL_PACKAGE_FILES}/changelog
"${ZEL_PACKAGE_NAME} (${PROJECT_VERSION}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}.

 -- ${ZEL_PACKAGE_MAINTAINER}  ${ZEL_RELEASE_DATE_RFC2822}
")
execute_process(COMMAND gzip -9 -n -c ${ZEL_PACKAGE_FILES}/changelog
    OUTPUT_FILE ${ZEL_PACKAGE_FILES}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${ZEL_PACKAGE_FILES}/copyright ${ZEL_PACKAGE_FILES}/changelog.gz
    DESTINATION ${ZEL_PACKAGE_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${ZEL_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "Orvix")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ZEL_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion tool for the ZEL orientation-sensor module")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_NAME ${ZEL_PACKAGE_NAME})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ZEL_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are what the installed programs link, as dpkg-shlibdeps
# finds them, never a list kept by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# CPack puts the summary above this and indents it as Debian's control file
# wants.
set(CPACK_PACKAGE_DESCRIPTION
"Orvix ZEL PC Tool connects to the ZEL nine-axis orientation-sensor module
(accelerometer, magnetometer, gyroscope, attitude fusion on the module)
through its USB-to-UART bridge. It shows the live stream in four scrolling
charts, a 3-D cube that follows the attitude and a console of values,
records the stream to CSV files, sends maintenance commands, reads and
writes the module's output configuration and updates its firmware.

The package also holds zel-sim, a simulator of the module on a
pseudo-terminal, for trying the tool without hardware.")

include(CPack)
