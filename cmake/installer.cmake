# Building installers inside this build.
#
# bq_add_installer(NAME MANIFEST path [DEFINES NAME=VALUE ...] [DEPENDS ...]
#                  [OPTIONS ...] [DAMAGE KEY=VALUE ...])
#   (Windows builds) Runs `bqpack build` on the manifest at build time,
#   writing the package into this tree's installer stub: NAME.exe in the
#   current binary folder, made by the target NAME, whose property
#   BQ_INSTALLER_FILE names the file.  DEFINES give the manifest's ${NAME}
#   values (generator expressions allowed); DEPENDS are targets or files
#   the package needs first (the programs it packs); OPTIONS go to bqpack
#   as they stand (e.g. --chunk-size 4096).  The inputs the manifest names
#   are tracked through a dependency file, so changing any of them builds the
#   installer again.  DAMAGE: the built installer is then damaged on purpose
#   by the tests' damage_installer (tests/unit/bqpack/damage.h; the native
#   one, whose path the Windows configures take as -DBQ_DAMAGE_INSTALLER=...),
#   one change per KEY=VALUE.  A static check NAME.image reads it without
#   running it; of a damaged one, verify must find the damage.
#
# The package tool is the native bqpack: the Windows configures take its
# path as -DBQPACK=...; the native build uses its own bqpack target.

# bq_have_bqpack(VAR): VAR is true when a native bqpack is at hand (the
# one named by BQPACK exists, or the native build has its own target).
function(bq_have_bqpack var)
  if((BQPACK AND EXISTS "${BQPACK}") OR (TARGET bqpack AND NOT CMAKE_CROSSCOMPILING))
    set(${var} TRUE PARENT_SCOPE)
  else()
    set(${var} FALSE PARENT_SCOPE)
  endif()
endfunction()

# bq_tool(TOOL DEPENDENCY): the native bqpack, and what a command that runs
# it depends on.
function(bq_tool tool dependency)
  if(BQPACK)
    set(${tool} ${BQPACK} PARENT_SCOPE)
    set(${dependency} ${BQPACK} PARENT_SCOPE)
  elseif(TARGET bqpack AND NOT CMAKE_CROSSCOMPILING)
    set(${tool} $<TARGET_FILE:bqpack> PARENT_SCOPE)
    set(${dependency} bqpack PARENT_SCOPE)
  else()
    message(FATAL_ERROR "no native bqpack (configure with -DBQPACK=PATH)")
  endif()
endfunction()

# bq_manifest_arguments(MANIFEST_VAR DEFINES_VAR MANIFEST DEFINES...): the
# manifest's absolute path and the -D arguments for its DEFINES.
function(bq_manifest_arguments manifest_var defines_var manifest)
  get_filename_component(path ${manifest} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  set(defines)
  foreach(d ${ARGN})
    list(APPEND defines -D ${d})
  endforeach()
  set(${manifest_var} ${path} PARENT_SCOPE)
  set(${defines_var} ${defines} PARENT_SCOPE)
endfunction()

function(bq_add_installer name)
  if(NOT WIN32)
    message(FATAL_ERROR "bq_add_installer: installers are built in the Windows trees")
  endif()
  cmake_parse_arguments(I "" "MANIFEST" "DEFINES;DEPENDS;OPTIONS;DAMAGE" ${ARGN})
  bq_tool(tool tool_dependency)
  bq_manifest_arguments(manifest defines ${I_MANIFEST} ${I_DEFINES})
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${name}.exe)
  set(damage)
  if(I_DAMAGE)
    if(NOT BQ_DAMAGE_INSTALLER)
      message(FATAL_ERROR "bq_add_installer: DAMAGE needs -DBQ_DAMAGE_INSTALLER=PATH")
    endif()
    set(damage COMMAND ${BQ_DAMAGE_INSTALLER} ${output} ${output} ${I_DAMAGE})
  endif()
  add_custom_command(OUTPUT ${output}
    COMMAND ${tool} build ${manifest} --stub $<TARGET_FILE:setup_stub> -o ${output}
      --depfile ${output}.d --quiet ${defines} ${I_OPTIONS}
    ${damage}
    DEPENDS ${manifest} ${tool_dependency} setup_stub ${I_DEPENDS} ${BQ_DAMAGE_INSTALLER}
    DEPFILE ${output}.d
    COMMENT "Building the installer ${name}.exe from ${I_MANIFEST}"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${output})
  set_target_properties(${name} PROPERTIES BQ_INSTALLER_FILE ${output})
  set(expect)
  if(I_DAMAGE)
    set(expect damaged)
  endif()
  bq_add_image_check(${name} ${output} ${BQPACK} ${expect})
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

# bq_add_image_check(NAME FILE [BQPACK [damaged|stub]]): the static check NAME.image
# of a program's image (tests/images/check_image.sh).
function(bq_add_image_check name file)
  bq_add_static_check(${name}.image
    bash ${PROJECT_SOURCE_DIR}/tests/images/check_image.sh ${BQ_WINDOWS_ARCH}
      ${CMAKE_OBJDUMP} ${file} ${ARGN})
endfunction()
