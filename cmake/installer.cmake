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
# bq_add_installer(NAME MANIFEST path [DAMAGED] [DEFINES ...] [DEPENDS ...]
#                  [OPTIONS ...])
#   (Windows builds) The same package linked with the installer's code into
#   the GUI program NAME.exe, and a test NAME.image, labelled "static", that
#   checks its headers and reads its package with the native bqpack without
#   running it; DAMAGED: the package is damaged on purpose, and verify must
#   say so.
#
# The package tool is the native bqpack: the win32 configure takes its path
# as -DBQPACK=...; the native build uses its own bqpack target.
#
# The installer's code is BQ_INSTALLER_LIBS (setup_core and the target of
# its resource object).  At the end of the win32 configure, its link inputs
# are also written to setup-runtime/link.txt in the build folder, one per
# line, and the compiler to setup-runtime/compiler.txt, for
# `bqpack build -o setup.exe` outside this build.

# The blob region is assembled with .incbin.
enable_language(ASM)

# bq_have_bqpack(VAR): VAR is true when a native bqpack is at hand (the
# one named by BQPACK exists, or the native build has its own target).
function(bq_have_bqpack var)
  if((BQPACK AND EXISTS "${BQPACK}") OR (TARGET bqpack AND NOT CMAKE_CROSSCOMPILING))
    set(${var} TRUE PARENT_SCOPE)
  else()
    set(${var} FALSE PARENT_SCOPE)
  endif()
endfunction()

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
  cmake_parse_arguments(I "DAMAGED" "MANIFEST" "DEFINES;DEPENDS;OPTIONS" ${ARGN})
  bq_package_sources(sources ${CMAKE_CURRENT_BINARY_DIR}/${name}.package
    MANIFEST ${I_MANIFEST} DEFINES ${I_DEFINES} DEPENDS ${I_DEPENDS} OPTIONS ${I_OPTIONS})
  add_executable(${name} WIN32 ${sources})
  target_link_libraries(${name} PRIVATE ${BQ_INSTALLER_LIBS})
  # No symbol table: smaller, and free of build paths.
  target_link_options(${name} PRIVATE -s)
  set(expect)
  if(I_DAMAGED)
    set(expect damaged)
  endif()
  bq_add_image_check(${name} ${BQPACK} ${expect})
endfunction()

# bq_add_static_check(NAME COMMAND...): a check of built images that runs
# without Wine, labelled "static".  Every one is added in tests/images, so
# that `ctest --test-dir BUILD/tests/images` runs just these on a host that
# cannot run the tree's programs (ctest would otherwise run every test
# program under Wine to list its tests).
function(bq_add_static_check name)
  set_property(GLOBAL APPEND PROPERTY BQ_STATIC_CHECKS ${name})
  set_property(GLOBAL PROPERTY BQ_STATIC_CHECK_${name} ${ARGN})
endfunction()

# bq_add_image_check(TARGET [BQPACK [damaged]]): the static check of the
# program's image (tests/images/check_image.sh).
function(bq_add_image_check target)
  bq_add_static_check(${target}.image
    bash ${PROJECT_SOURCE_DIR}/tests/images/check_image.sh ${BQ_WINDOWS_ARCH}
      ${CMAKE_OBJDUMP} $<TARGET_FILE:${target}> ${ARGN})
endfunction()

# The link inputs of a target and everything it links, depth first: library
# files, object files, system libraries (-lNAME) and options.
function(bq_link_inputs target var)
  set(items ${${var}})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "OBJECT_LIBRARY")
    list(APPEND items "$<JOIN:$<TARGET_OBJECTS:${target}>,\n>")
  elseif(type STREQUAL "STATIC_LIBRARY")
    list(APPEND items "$<TARGET_FILE:${target}>")
  endif()
  get_target_property(options ${target} INTERFACE_LINK_OPTIONS)
  if(options)
    list(APPEND items ${options})
  endif()
  get_target_property(deps ${target} INTERFACE_LINK_LIBRARIES)
  if(NOT deps)
    get_target_property(more ${target} LINK_LIBRARIES)
    if(more)
      list(APPEND deps ${more})
    endif()
  endif()
  foreach(dep ${deps})
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" dep "${dep}")
    if(NOT dep OR dep MATCHES "-NOTFOUND$")
      continue()
    elseif(TARGET ${dep})
      get_target_property(aliased ${dep} ALIASED_TARGET)
      if(aliased)
        set(dep ${aliased})
      endif()
      if(NOT dep IN_LIST BQ_LINK_SEEN)
        list(APPEND BQ_LINK_SEEN ${dep})
        bq_link_inputs(${dep} items)
      endif()
    elseif(dep MATCHES "^-" OR IS_ABSOLUTE "${dep}")
      list(APPEND items "${dep}")
    elseif(NOT dep MATCHES "^\\$<")
      list(APPEND items "-l${dep}")
    endif()
  endforeach()
  set(BQ_LINK_SEEN ${BQ_LINK_SEEN} PARENT_SCOPE)
  set(${var} ${items} PARENT_SCOPE)
endfunction()

function(bq_write_installer_runtime)
  foreach(t ${BQ_INSTALLER_LIBS})
    if(NOT TARGET ${t})
      return()
    endif()
  endforeach()
  set(BQ_LINK_SEEN ${BQ_INSTALLER_LIBS})
  set(inputs)
  foreach(t ${BQ_INSTALLER_LIBS})
    bq_link_inputs(${t} inputs)
  endforeach()
  # Libraries that refer to each other are searched until nothing is left.
  list(JOIN inputs "\n" text)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/setup-runtime/link.txt
    CONTENT "-Wl,--start-group\n${text}\n-Wl,--end-group\n")
  # The compiler that links them: the runtime folder alone says which
  # architecture's installer it makes.
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/setup-runtime/compiler.txt
    CONTENT "${CMAKE_CXX_COMPILER}\n")
endfunction()

if(WIN32)
  if(NOT DEFINED BQ_INSTALLER_LIBS)
    set(BQ_INSTALLER_LIBS setup_core)
  endif()
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL bq_write_installer_runtime)
endif()
