# The Debian packages, made by CPack from the Release build (scripts/setup.sh --package,
# or the target `deb`):
#   regdesk        the desk's programs and a private Lattix in /usr/lib/regdesk, the launcher
#                  /usr/bin/regdesk, regdesk-admin, the menu entry, icons, metainfo, man pages
#   liblattix1     the shared library with its SONAME
#   liblattix-dev  lattix.h, the .so link, lattix.pc and the CMake package config
# The portable desk folder of scripts/setup.sh is the install component `desk`.
set(REGDESK_PACKAGE_PREFIX /usr)
set(REGDESK_PACKAGE_PROGRAMS lib/regdesk)
if(CMAKE_LIBRARY_ARCHITECTURE)
    set(REGDESK_PACKAGE_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
    set(REGDESK_PACKAGE_LIBDIR lib)
endif()
set(REGDESK_PACKAGE_FILES ${PROJECT_BINARY_DIR}/package-files)
set(REGDESK_PACKAGE_SOURCE ${PROJECT_SOURCE_DIR}/res/package)
set(REGDESK_MAINTAINER "Regdesk developers <regdesk@example.org>")
string(TIMESTAMP REGDESK_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(MAKE_DIRECTORY ${REGDESK_PACKAGE_FILES})

# Each package's documentation: the copyright file and the changelog.
set(REGDESK_COPYRIGHT ${REGDESK_PACKAGE_FILES}/copyright)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE.unicode REGDESK_UNICODE_NOTICE)
string(REGEX REPLACE "\n\n" "\n.\n" REGDESK_UNICODE_NOTICE "${REGDESK_UNICODE_NOTICE}")
string(REGEX REPLACE "\n" "\n " REGDESK_UNICODE_NOTICE " ${REGDESK_UNICODE_NOTICE}")
string(REGEX REPLACE "\n $" "" REGDESK_UNICODE_NOTICE "${REGDESK_UNICODE_NOTICE}")
file(WRITE ${REGDESK_COPYRIGHT} "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Regdesk
Comment: Regdesk, the registration desk, and Lattix, its PDF417 library.

Files: *
Copyright: Regdesk developers
License: Apache-2.0

Files: people/PinyinTable.cpp
Copyright: 1991-2022 Unicode, Inc.
           Regdesk developers
License: Unicode-DFS-2016
Comment: The pinyin syllable table is derived from the Unihan database.

License: Apache-2.0
 Licensed under the Apache License, Version 2.0 (the \"License\"); you may not
 use this file except in compliance with the License.
 .
 On Debian systems, the full text of the Apache License, Version 2.0 is in
 /usr/share/common-licenses/Apache-2.0.

License: Unicode-DFS-2016
${REGDESK_UNICODE_NOTICE}
")
find_program(REGDESK_GZIP gzip REQUIRED)
set(REGDESK_PACKAGE_OUTPUTS)
foreach(package regdesk liblattix1 liblattix-dev)
    set(PKG ${package})
    set(DATE ${REGDESK_PACKAGE_DATE})
    configure_file(${REGDESK_PACKAGE_SOURCE}/changelog.in ${REGDESK_PACKAGE_FILES}/doc/${package}/changelog @ONLY)
    add_custom_command(OUTPUT ${REGDESK_PACKAGE_FILES}/doc/${package}/changelog.gz
        COMMAND ${REGDESK_GZIP} -9nkf ${REGDESK_PACKAGE_FILES}/doc/${package}/changelog
        DEPENDS ${REGDESK_PACKAGE_FILES}/doc/${package}/changelog)
    list(APPEND REGDESK_PACKAGE_OUTPUTS ${REGDESK_PACKAGE_FILES}/doc/${package}/changelog.gz)
    install(FILES ${REGDESK_COPYRIGHT} ${REGDESK_PACKAGE_FILES}/doc/${package}/changelog.gz
        DESTINATION share/doc/${package} COMPONENT ${package})
endforeach()

# --- liblattix1 and liblattix-dev ---
install(FILES ${REGDESK_PACKAGE_SOURCE}/lintian/liblattix1 DESTINATION share/lintian/overrides COMPONENT liblattix1)
set_target_properties(lattix PROPERTIES INSTALL_RPATH "")
install(TARGETS lattix EXPORT LattixTargets
    LIBRARY DESTINATION ${REGDESK_PACKAGE_LIBDIR} COMPONENT liblattix1 NAMELINK_COMPONENT liblattix-dev
    INCLUDES DESTINATION include)
install(FILES ${PROJECT_SOURCE_DIR}/lattix/include/lattix.h DESTINATION include COMPONENT liblattix-dev)
set(CMAKE_INSTALL_PREFIX_SAVED ${CMAKE_INSTALL_PREFIX})
set(CMAKE_INSTALL_PREFIX ${REGDESK_PACKAGE_PREFIX})
set(CMAKE_INSTALL_LIBDIR ${REGDESK_PACKAGE_LIBDIR})
set(CMAKE_INSTALL_INCLUDEDIR include)
configure_file(${REGDESK_PACKAGE_SOURCE}/lattix.pc.in ${REGDESK_PACKAGE_FILES}/lattix.pc @ONLY)
set(CMAKE_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX_SAVED})
install(FILES ${REGDESK_PACKAGE_FILES}/lattix.pc DESTINATION ${REGDESK_PACKAGE_LIBDIR}/pkgconfig COMPONENT liblattix-dev)
include(CMakePackageConfigHelpers)
configure_package_config_file(${REGDESK_PACKAGE_SOURCE}/LattixConfig.cmake.in
    ${REGDESK_PACKAGE_FILES}/LattixConfig.cmake INSTALL_DESTINATION ${REGDESK_PACKAGE_LIBDIR}/cmake/Lattix)
write_basic_package_version_file(${REGDESK_PACKAGE_FILES}/LattixConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${REGDESK_PACKAGE_FILES}/LattixConfig.cmake ${REGDESK_PACKAGE_FILES}/LattixConfigVersion.cmake
    DESTINATION ${REGDESK_PACKAGE_LIBDIR}/cmake/Lattix COMPONENT liblattix-dev)
install(EXPORT LattixTargets NAMESPACE Lattix:: DESTINATION ${REGDESK_PACKAGE_LIBDIR}/cmake/Lattix
    COMPONENT liblattix-dev)

# --- regdesk ---
if(TARGET regdesk)
    install(TARGETS regdesk regdesk-admin regdesk-open regdesk-intake pdf417 RUNTIME DESTINATION ${REGDESK_PACKAGE_PROGRAMS}
        COMPONENT regdesk)
    install(TARGETS lattix LIBRARY DESTINATION ${REGDESK_PACKAGE_PROGRAMS} NAMELINK_SKIP COMPONENT regdesk)

    set(REGDESK_PACKAGE_PROGRAMS_PATH ${REGDESK_PACKAGE_PREFIX}/${REGDESK_PACKAGE_PROGRAMS})
    set(REGDESK_PACKAGE_SAMPLES ${REGDESK_PACKAGE_PREFIX}/share/regdesk)
    configure_file(${REGDESK_PACKAGE_SOURCE}/regdesk.in ${REGDESK_PACKAGE_FILES}/regdesk @ONLY)
    install(PROGRAMS ${REGDESK_PACKAGE_FILES}/regdesk DESTINATION bin COMPONENT regdesk)
    file(CREATE_LINK ../${REGDESK_PACKAGE_PROGRAMS}/regdesk-admin ${REGDESK_PACKAGE_FILES}/regdesk-admin SYMBOLIC)
    install(FILES ${REGDESK_PACKAGE_FILES}/regdesk-admin DESTINATION bin COMPONENT regdesk)

    # The samples a new desk folder is prepared from; the list template is made from its flat ODS source.
    install(FILES ${PROJECT_SOURCE_DIR}/res/document.sample.ini DESTINATION share/regdesk COMPONENT regdesk)
    find_program(REGDESK_SOFFICE soffice)
    set(REGDESK_TEMPLATE ${REGDESK_PACKAGE_FILES}/收文清单.xlt)
    add_custom_command(OUTPUT ${REGDESK_TEMPLATE}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${REGDESK_PACKAGE_FILES}/office-profile
        COMMAND ${REGDESK_SOFFICE} -env:UserInstallation=file://${REGDESK_PACKAGE_FILES}/office-profile
            --headless --norestore --convert-to "xlt:MS Excel 97 Vorlage/Template"
            --outdir ${REGDESK_PACKAGE_FILES} ${PROJECT_SOURCE_DIR}/res/收文清单.fods
        # soffice exits 0 even when it wrote nothing: make sure the template is there.
        COMMAND ${CMAKE_COMMAND} -E cat ${REGDESK_TEMPLATE} > /dev/null
        DEPENDS ${PROJECT_SOURCE_DIR}/res/收文清单.fods VERBATIM)
    install(FILES ${REGDESK_TEMPLATE} DESTINATION share/regdesk COMPONENT regdesk)

    install(FILES ${REGDESK_PACKAGE_SOURCE}/regdesk.desktop ${REGDESK_PACKAGE_SOURCE}/regdesk-intake.desktop
        DESTINATION share/applications COMPONENT regdesk)
    configure_file(${REGDESK_PACKAGE_SOURCE}/regdesk.metainfo.xml ${REGDESK_PACKAGE_FILES}/regdesk.metainfo.xml @ONLY)
    install(FILES ${REGDESK_PACKAGE_FILES}/regdesk.metainfo.xml DESTINATION share/metainfo COMPONENT regdesk)
    install(FILES ${REGDESK_PACKAGE_SOURCE}/regdesk.svg DESTINATION share/icons/hicolor/scalable/apps
        COMPONENT regdesk)
    find_program(REGDESK_RSVG rsvg-convert)
    foreach(size 48 128)
        set(icon ${REGDESK_PACKAGE_FILES}/icons/${size}/regdesk.png)
        add_custom_command(OUTPUT ${icon}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${REGDESK_PACKAGE_FILES}/icons/${size}
            COMMAND ${REGDESK_RSVG} -w ${size} -h ${size} -o ${icon} ${REGDESK_PACKAGE_SOURCE}/regdesk.svg
            DEPENDS ${REGDESK_PACKAGE_SOURCE}/regdesk.svg VERBATIM)
        list(APPEND REGDESK_PACKAGE_OUTPUTS ${icon})
        install(FILES ${icon} DESTINATION share/icons/hicolor/${size}x${size}/apps COMPONENT regdesk)
    endforeach()

    # Man pages made from the programs' --help and --version.
    find_program(REGDESK_HELP2MAN help2man)
    foreach(program regdesk regdesk-admin)
        set(page ${REGDESK_PACKAGE_FILES}/man/${program}.1)
        add_custom_command(OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${REGDESK_PACKAGE_FILES}/man
            COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                ${REGDESK_HELP2MAN} --no-info --section 1 --source "Regdesk ${PROJECT_VERSION}"
                --name "$<IF:$<STREQUAL:${program},regdesk>,the registration desk,prepare and check a desk folder>"
                --output ${page} $<TARGET_FILE:${program}>
            COMMAND ${REGDESK_GZIP} -9nf ${page}
            DEPENDS ${program} VERBATIM)
        list(APPEND REGDESK_PACKAGE_OUTPUTS ${page}.gz)
        install(FILES ${page}.gz DESTINATION share/man/man1 COMPONENT regdesk)
    endforeach()

    # The user guide in /usr/share/regdesk/guide; F1 finds it beside the programs through a link.
    if(REGDESK_GUIDE_HTML)
        install(DIRECTORY ${REGDESK_GUIDE_HTML}/ DESTINATION share/regdesk/guide COMPONENT regdesk)
        file(CREATE_LINK ../../share/regdesk/guide ${REGDESK_PACKAGE_FILES}/guide SYMBOLIC)
        install(FILES ${REGDESK_PACKAGE_FILES}/guide DESTINATION ${REGDESK_PACKAGE_PROGRAMS} COMPONENT regdesk)
        list(APPEND REGDESK_PACKAGE_OUTPUTS ${REGDESK_GUIDE_HTML}/index.html)
    endif()

    install(FILES ${REGDESK_PACKAGE_SOURCE}/lintian/regdesk DESTINATION share/lintian/overrides COMPONENT regdesk)
    list(APPEND REGDESK_PACKAGE_OUTPUTS ${REGDESK_TEMPLATE})
endif()

add_custom_target(package-files DEPENDS ${REGDESK_PACKAGE_OUTPUTS})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME regdesk)
set(CPACK_PACKAGE_VENDOR "Regdesk developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${REGDESK_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX ${REGDESK_PACKAGE_PREFIX})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/deb)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL liblattix1 liblattix-dev)
if(TARGET regdesk)
    list(PREPEND CPACK_COMPONENTS_ALL regdesk)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${REGDESK_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${REGDESK_PACKAGE_PREFIX}/${REGDESK_PACKAGE_PROGRAMS})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_REGDESK_PACKAGE_NAME regdesk)
set(CPACK_DEBIAN_REGDESK_PACKAGE_SECTION misc)
# Qt's SQLite driver, window-system plugins and TIFF reader (files of incoming documents)
# are loaded at run time, which shlibdeps cannot see; Poppler it finds.
set(CPACK_DEBIAN_REGDESK_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-qpa-plugins, qt6-image-formats-plugins")
set(CPACK_DEBIAN_REGDESK_PACKAGE_RECOMMENDS
    "libreoffice-calc | libreoffice-calc-nogui, libreoffice-writer | libreoffice-writer-nogui, fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_REGDESK_PACKAGE_SUGGESTS "libqt6sql6-psql")
set(CPACK_DEBIAN_REGDESK_PACKAGE_CONTROL_EXTRA ${REGDESK_PACKAGE_SOURCE}/postrm)
set(CPACK_COMPONENT_REGDESK_DESCRIPTION "registration desk for the documents of an office (公文登记)
Regdesk registers every outgoing document of a government or court office in
one form, which checks, numbers and encodes it into a PDF417 barcode, and
registers incoming documents by their scanned barcode. Text is GBK.
.
Each user's registers and settings live in a desk folder
(~/.local/share/regdesk, prepared on the first start); removing the package
leaves them in place.")

set(CPACK_DEBIAN_LIBLATTIX1_PACKAGE_NAME liblattix1)
set(CPACK_DEBIAN_LIBLATTIX1_PACKAGE_SECTION libs)
# The shlibs entry and the ldconfig trigger of the library (CPack makes shlibs only for every package at once).
configure_file(${REGDESK_PACKAGE_SOURCE}/liblattix1/shlibs.in ${REGDESK_PACKAGE_FILES}/liblattix1/shlibs @ONLY)
set(CPACK_DEBIAN_LIBLATTIX1_PACKAGE_CONTROL_EXTRA
    ${REGDESK_PACKAGE_FILES}/liblattix1/shlibs ${REGDESK_PACKAGE_SOURCE}/liblattix1/triggers)
set(CPACK_COMPONENT_LIBLATTIX1_DESCRIPTION "PDF417 barcode encoder library
Lattix encodes text into PDF417 symbols and writes them as bitmaps and
metafiles, through a plain C interface.
.
This package holds the shared library.")

set(CPACK_DEBIAN_LIBLATTIX-DEV_PACKAGE_NAME liblattix-dev)
set(CPACK_DEBIAN_LIBLATTIX-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBLATTIX-DEV_PACKAGE_DEPENDS "liblattix1 (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_LIBLATTIX-DEV_DESCRIPTION "PDF417 barcode encoder library (development files)
Lattix encodes text into PDF417 symbols and writes them as bitmaps and
metafiles, through a plain C interface.
.
This package holds the header lattix.h, the pkg-config file lattix.pc and
the CMake package configuration for find_package(Lattix).")
include(CPack)

add_custom_target(deb
    COMMAND ${CMAKE_CPACK_COMMAND} --config ${PROJECT_BINARY_DIR}/CPackConfig.cmake
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR} VERBATIM)
add_dependencies(deb package-files)
