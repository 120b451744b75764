# Building installers inside this build.
#
# bq_package_sources(VAR DIR MANIFEST path [DEFINES NAME=VALUE ...]
#                    [DEPENDS ...] [OPTIONS ...])
#   Runs `bqpack build --sources-only DIR` on the manifest at build time and
#   sets VAR to the generated sources to compile (the package table source
#   and the assembler source that pulls in the blob region).  DEFINES give
#   the manifest's ${NAME} values (generator expressions allowed, e.g.
#   STANDINS=$<TARGET_FILE_DIR:standin_engine>); DEPENDS are targets or
#   files the package needs first (the programs it packs); OPTIONS go to
#   bqpack as they stand (e.g. --allow-broken, --chunk-size 4096).  The
#   inputs the manifest names are tracked through a dependency file, so
#   changing any of them regenerates the package.
#
# bq_add_installer(NAME MANIFEST path [DEFINES ...] [DEPENDS ...] [OPTIONS ...])
#   (win32 build) The same package linked with the installer's code into the
#   GUI program NAME.exe.
#
# The package tool is the native bqpack: the win32 configure takes its path
# as -DBQPACK=...; the native build uses its own bqpack target.

# The blob region is assembled with .incbin.
enable_language(ASM)

function(bq_package_sources var dir)
  cmake_parse_arguments(P "" "MANIFEST" "DEFINES;DEPENDS;OPTIONS" ${ARGN})
  if(BQPACK)
    set(tool ${BQPACK})
    set(tool_dependency ${BQPACK})
  elseif(TARGET bqpack AND NOT CMAKE_CROSSCOMPILING)
    set(tool $<TARGET_FILE:bqpack>)
    set(tool_dependency bqpack)
  else()
    message(FATAL_ERROR "bq_package_sources: no native bqpack (configure with -DBQPACK=PATH)")
  endif()
  get_filename_component(manifest ${P_MANIFEST} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  set(defines)
  foreach(d ${P_DEFINES})
    list(APPEND defines -D ${d})
  endforeach()
  file(MAKE_DIRECTORY ${dir})
  set(generated ${dir}/package_table.cpp ${dir}/package_blob.S ${dir}/package_table.h
    ${dir}/package_blob.bin)
  add_custom_command(OUTPUT ${generated}
    COMMAND ${tool} build ${manifest} --sources-only ${dir} --depfile ${dir}/package.d --quiet
      ${defines} ${P_OPTIONS}
    DEPENDS ${manifest} ${tool_dependency} ${P_DEPENDS}
    DEPFILE ${dir}/package.d
    COMMENT "Generating the package of ${P_MANIFEST}"
    VERBATIM)
  # The assembler does not report the .incbin file as a dependency.
  set_source_files_properties(${dir}/package_blob.S PROPERTIES
    OBJECT_DEPENDS ${dir}/package_blob.bin)
  set(${var} ${dir}/package_table.cpp ${dir}/package_blob.S PARENT_SCOPE)
endfunction()

function(bq_add_installer name)
  if(NOT WIN32)
    message(FATAL_ERROR "bq_add_installer: installers are built in the win32 tree")
  endif()
  cmake_parse_arguments(I "" "MANIFEST" "DEFINES;DEPENDS;OPTIONS" ${ARGN})
  bq_package_sources(sources ${CMAKE_CURRENT_BINARY_DIR}/${name}.package
    MANIFEST ${I_MANIFEST} DEFINES ${I_DEFINES} DEPENDS ${I_DEPENDS} OPTIONS ${I_OPTIONS})
  add_executable(${name} WIN32 ${sources})
  target_link_libraries(${name} PRIVATE ${BQ_INSTALLER_LIBS})
  # No symbol table: smaller, and free of build paths.
  target_link_options(${name} PRIVATE -s)
endfunction()
