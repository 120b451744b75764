# The build command of bqpack (manifests, the files packed and written into
# the installer stub) as a library, for the bqpack program and
# its tests.  Included from this folder's CMakeLists.txt.

add_library(bqpack_build STATIC
  ${CMAKE_CURRENT_LIST_DIR}/manifest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pack.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cmd_build.cpp)
target_include_directories(bqpack_build PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(bqpack_build PUBLIC package_encode package_image digest bqpack_common)
