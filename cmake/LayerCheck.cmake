# Checks the layering of the libraries in a build tree:
#   cmake -DCOMMANDS=<tree>/compile_commands.json -DBUILD=host|windows -P LayerCheck.cmake
#
# Each row compiles a one-line file "#include <header>" as a member of a
# library: with the compile command of one of that library's sources
# (include directories, definitions and flags as the build has them), in
# that source's folder, the file read from standard input, so that a quoted
# include is looked for first where the member's own would be. A header of
# the same or a lower library must compile; one of a higher library must not
# be found. Besides the table, every source of a layered library must lie in
# a folder that is one of that library's include directories: a folder that
# also held a higher library's headers would let it include them unseen.

cmake_minimum_required(VERSION 3.25)

# library            member source                      header                     expect   build
set(rows
  "tw_vcl             vcl/SysUtils.cpp                    routines_Strings.h         missing  all"
  "tw_vcl             vcl/SysUtils.cpp                    Classes.h                  found    all"
  "tw_base            engine/base/routines_Strings.cpp    format_Archive.h           missing  all"
  "tw_base            engine/base/routines_Strings.cpp    uInstMain.h                missing  all"
  "tw_base            engine/base/routines_Strings.cpp    routines_win2k.h           missing  all"
  "tw_base            engine/base/routines_Strings.cpp    SysUtils.h                 found    all"
  "tw_base            engine/base/routines_API.cpp        routines_Build.h           missing  windows"
  "tw_base            engine/base/routines_API.cpp        WinHandles.h               found    windows"
  "tw_archive         archive/Streams.cpp                 uInstMain.h                missing  all"
  "tw_archive         archive/Streams.cpp                 routines_Build.h           missing  all"
  "tw_archive         archive/Streams.cpp                 routines_PathText.h        missing  all"
  "tw_archive         archive/Streams.cpp                 exceptions_Tarnwick.h      found    all"
  "tw_archive         archive/uFileCheckSum.cpp           cmp_TInstall.h             missing  windows"
  "tw_archive         archive/uFileCheckSum.cpp           routines_API.h             found    windows"
  "tw_portable        model/portable/routines_win2k.cpp   cmp_TInstallFile.h         missing  all"
  "tw_portable        dialogs/portable/routines_LanguageFile.cpp dlgcmp_TBaseDlg.h missing  all"
  "tw_portable        paths/portable/routines_PathText.cpp cmp_TNetInstallLocation.h missing all"
  "tw_portable        paths/portable/routines_PathText.cpp routines_Build.h        missing  all"
  "tw_portable        paths/portable/routines_PathText.cpp routines_win2k.h        found    all"
  "tw_portable        paths/portable/routines_PathText.cpp format_Archive.h        found    all"
  "tw_engine          engine/uInstMain.cpp                cmp_TInstallInformation.h  found    windows"
  "tw_engine          engine/uInstMain.cpp                routines_Journal.h         found    windows"
  "tw_loadercore      loader/selfcheck.cpp                uInstMain.h                missing  all"
  "tw_loadercore      loader/selfcheck.cpp                routines_LanguageFile.h    missing  all"
  "tw_loadercore      loader/selfcheck.cpp                format_Archive.h           found    all"
  "tw_loadercore      loader/selfcheck.cpp                routines_Strings.h         found    all"
  # The instrumented libraries of the host tests.
  "tw_base_san        engine/base/routines_Strings.cpp    format_Archive.h           missing  host"
  "tw_archive_san     archive/Streams.cpp                 routines_PathText.h        missing  host"
  "tw_archive_san     archive/Streams.cpp                 routines_Strings.h         found    host"
  "tw_portable_san    model/portable/routines_win2k.cpp   format_Archive.h           found    host"
  "tw_loadercore_san  loader/selfcheck.cpp                routines_LanguageFile.h    missing  host"
)
set(layered tw_vcl tw_base tw_archive tw_portable tw_engine tw_loadercore
  tw_vcl_san tw_base_san tw_archive_san tw_portable_san tw_loadercore_san)

if(NOT EXISTS "${COMMANDS}" OR NOT BUILD MATCHES "^(host|windows)$")
  message(FATAL_ERROR "usage: cmake -DCOMMANDS=<compile_commands.json> -DBUILD=host|windows -P LayerCheck.cmake")
endif()
get_filename_component(root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
file(READ "${COMMANDS}" json)
string(JSON count LENGTH "${json}")
math(EXPR last "${count} - 1")

# The compile commands of the layered libraries' sources, by target and
# source: cmd_<target>/<source relative to the root>.
set(failures 0)
foreach(i RANGE ${last})
  string(JSON command GET "${json}" ${i} command)
  # The object's folder names the target.
  if(NOT command MATCHES " -o ([^ ]*/)?CMakeFiles/([A-Za-z0-9_]+)\\.dir/")
    continue()
  endif()
  set(target ${CMAKE_MATCH_2})
  if(NOT target IN_LIST layered)
    continue()
  endif()
  string(JSON file GET "${json}" ${i} file)
  separate_arguments(args UNIX_COMMAND "${command}")
  # The command without its source, object and dependency file.
  set(probe_args)
  set(includes)
  set(skip OFF)
  foreach(a ${args})
    if(skip)
      set(skip OFF)
    elseif(a MATCHES "^-(o|c|MT|MF|MQ)$")
      set(skip ON)
    elseif(a STREQUAL "-MD" OR a STREQUAL "-MMD")
    else()
      list(APPEND probe_args "${a}")
      if(a MATCHES "^-I(.+)$")
        file(REAL_PATH "${CMAKE_MATCH_1}" dir)
        list(APPEND includes "${dir}")
      endif()
    endif()
  endforeach()
  file(REAL_PATH "${file}" file)
  file(RELATIVE_PATH rel "${root}" "${file}")
  set("cmd_${target}/${rel}" "${probe_args}")
  get_filename_component(folder "${file}" DIRECTORY)
  if(NOT folder IN_LIST includes)
    message("FAIL ${target}: ${rel} lies in a folder that is none of its include directories")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()

set(probe "${CMAKE_CURRENT_BINARY_DIR}/layer_probe.cpp")
set(checked 0)
foreach(row ${rows})
  string(REGEX REPLACE " +" ";" row "${row}")
  list(GET row 0 target)
  list(GET row 1 member)
  list(GET row 2 header)
  list(GET row 3 expect)
  list(GET row 4 build)
  if(NOT build STREQUAL "all" AND NOT build STREQUAL BUILD)
    continue()
  endif()
  if(NOT DEFINED "cmd_${target}/${member}")
    message("FAIL ${target}: no compile command for ${member} in this tree")
    math(EXPR failures "${failures} + 1")
    continue()
  endif()
  file(WRITE "${probe}" "#include \"${header}\"\n")
  get_filename_component(folder "${root}/${member}" DIRECTORY)
  execute_process(COMMAND ${cmd_${target}/${member}} -fsyntax-only -x c++ -
    INPUT_FILE "${probe}" WORKING_DIRECTORY "${folder}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REPLACE "." "\\." header_re "${header}")
  if(expect STREQUAL "found" AND rc EQUAL 0)
    message("ok   ${target} includes ${header}")
  elseif(expect STREQUAL "missing" AND NOT rc EQUAL 0 AND out MATCHES "${header_re}: No such file")
    message("ok   ${target} cannot include ${header}")
  else()
    message("FAIL ${target} (as ${member}) including ${header}: expected ${expect}, compiler said (${rc}):\n${out}")
    math(EXPR failures "${failures} + 1")
  endif()
  math(EXPR checked "${checked} + 1")
endforeach()
file(REMOVE "${probe}")

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} layering check(s) failed")
endif()
message("${checked} includes checked")
