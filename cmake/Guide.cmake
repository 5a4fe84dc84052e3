# The user guide (用户手册): HTML pages built from docs/guide by scripts/build-guide-html.sh
# with pandoc, when pandoc is installed (scripts/setup.sh installs it). The desk folder gets
# them as guide/ beside the programs, where F1 looks for a window's chapter; the Debian
# package installs them too (cmake/Packaging.cmake). Without pandoc, F1 says that the guide
# is missing. The screenshots and the PDF are remade by scripts/make-guide.sh.
find_program(REGDESK_PANDOC pandoc)
if(REGDESK_PANDOC)
    set(REGDESK_GUIDE_HTML ${PROJECT_BINARY_DIR}/guide-html)
    file(GLOB REGDESK_GUIDE_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/guide/*.md
        ${PROJECT_SOURCE_DIR}/docs/guide/guide.css ${PROJECT_SOURCE_DIR}/docs/guide/images/*.png)
    add_custom_command(OUTPUT ${REGDESK_GUIDE_HTML}/index.html
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${REGDESK_GUIDE_HTML}
        COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-guide-html.sh ${PROJECT_SOURCE_DIR}/docs/guide ${REGDESK_GUIDE_HTML}
        DEPENDS ${REGDESK_GUIDE_SOURCES} ${PROJECT_SOURCE_DIR}/scripts/build-guide-html.sh VERBATIM)
    add_custom_target(guide ALL DEPENDS ${REGDESK_GUIDE_HTML}/index.html)
    install(DIRECTORY ${REGDESK_GUIDE_HTML}/ DESTINATION guide COMPONENT desk)
else()
    message(STATUS "pandoc not found: the user guide's HTML (F1) is not built")
endif()
