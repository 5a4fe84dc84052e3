# The one version of every program and package: project(VERSION) at the top.
# Programs include "RegdeskVersion.h" through the regdesk_version target.
configure_file(${PROJECT_SOURCE_DIR}/res/RegdeskVersion.h.in ${PROJECT_BINARY_DIR}/generated/RegdeskVersion.h @ONLY)
add_library(regdesk_version INTERFACE)
target_include_directories(regdesk_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
