# The commands that look inside a built installer (info, list, verify,
# extract) as a library, for the bqpack program and its tests.  Included
# from this folder's CMakeLists.txt.
add_library(bqpack_inspect STATIC ${CMAKE_CURRENT_LIST_DIR}/cmd_inspect.cpp)
target_include_directories(bqpack_inspect PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(bqpack_inspect PUBLIC package_image bqpack_common)
