# The build command of bqpack (manifests, the package written into the
# installer stub, or as sources) as a library, for the bqpack program and
# its tests.  Included from this folder's CMakeLists.txt.

# Every set of generated sources carries a copy of the package table's
# layout, so they compile without this source tree.
set(bq_table_header ${PROJECT_SOURCE_DIR}/package/package_table.h)
file(READ ${bq_table_header} BQ_PACKAGE_TABLE_HEADER)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${bq_table_header})
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/tools/bqpack/package_table_text.h
  CONTENT "// The package table's layout (package/package_table.h) as text.\nstatic const char kPackageTableHeaderText[] = R\"bqpack(@BQ_PACKAGE_TABLE_HEADER@)bqpack\";\n"
  @ONLY)

add_library(bqpack_build STATIC
  ${CMAKE_CURRENT_LIST_DIR}/manifest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/generate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cmd_build.cpp)
target_include_directories(bqpack_build PUBLIC ${PROJECT_SOURCE_DIR}
  PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(bqpack_build PUBLIC package_encode package_image digest bqpack_common)
