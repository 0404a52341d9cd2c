cmake_minimum_required(VERSION 3.25)
# Installs the build in BUILD_DIR into a fresh PREFIX and checks what landed there.
# Also given: SOURCE_DIR, BUILT_PROGRAM_DIR (where the built ostrel lies), DOCDIR_FROM_BINDIR
# (where the launcher looks for the manual, relative to the program's folder) and
# DESKTOP_FILE_VALIDATE (the validator, or a NOTFOUND value).
set(failures "")
macro(fail message)
  string(APPEND failures "  ${message}\n")
endmacro()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

foreach(program ostrel ostrel-scan)
  if(NOT EXISTS "${PREFIX}/bin/${program}" OR IS_DIRECTORY "${PREFIX}/bin/${program}")
    fail("bin/${program} missing")
  else()
    file(GET_RUNTIME_DEPENDENCIES EXECUTABLES "${PREFIX}/bin/${program}" UNRESOLVED_DEPENDENCIES_VAR unresolved)
    if(unresolved)
      fail("bin/${program} needs libraries that are not found: ${unresolved}")
    endif()
  endif()
endforeach()
execute_process(COMMAND "${PREFIX}/bin/ostrel-scan" --help RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
if(NOT result EQUAL 0)
  fail("installed ostrel-scan --help exited with ${result}")
endif()

# Each installed file is the source file unchanged.
foreach(pair "docs/ostrel.html=share/doc/ostrel/ostrel.html"
             "docs/compare.png=share/doc/ostrel/compare.png"
             "docs/main-files.png=share/doc/ostrel/main-files.png"
             "docs/main-treemap.png=share/doc/ostrel/main-treemap.png"
             "app/ostrel.desktop=share/applications/ostrel.desktop"
             "app/ostrel.svg=share/icons/hicolor/scalable/apps/ostrel.svg")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 source)
  list(GET pair 1 installed)
  if(NOT EXISTS "${PREFIX}/${installed}")
    fail("${installed} missing")
  else()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${SOURCE_DIR}/${source}" "${PREFIX}/${installed}"
                    RESULT_VARIABLE different)
    if(different)
      fail("${installed} differs from ${source}")
    endif()
  endif()
endforeach()

# Help of the installed program looks exactly there.
cmake_path(ABSOLUTE_PATH DOCDIR_FROM_BINDIR BASE_DIRECTORY "${PREFIX}/bin" NORMALIZE OUTPUT_VARIABLE lookup)
if(NOT EXISTS "${lookup}/ostrel.html")
  fail("the launcher looks in ${lookup}, which holds no ostrel.html")
endif()

# The desktop entry is valid and names the installed program and icon.
if(NOT DESKTOP_FILE_VALIDATE)
  fail("desktop-file-validate not found (Debian package desktop-file-utils)")
elseif(EXISTS "${PREFIX}/share/applications/ostrel.desktop")
  execute_process(COMMAND "${DESKTOP_FILE_VALIDATE}" "${PREFIX}/share/applications/ostrel.desktop"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    fail("desktop-file-validate: ${output}")
  endif()
  file(STRINGS "${PREFIX}/share/applications/ostrel.desktop" entry)
  if(NOT "Exec=ostrel %f" IN_LIST entry OR NOT "Icon=ostrel" IN_LIST entry)
    fail("the desktop entry does not start bin/ostrel with the ostrel icon")
  endif()
endif()

# The manual beside the built program, for Help without an installation.
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${SOURCE_DIR}/docs/ostrel.html"
                        "${BUILT_PROGRAM_DIR}/ostrel.html" RESULT_VARIABLE different)
if(different)
  fail("${BUILT_PROGRAM_DIR}/ostrel.html is missing or not the current manual")
endif()

if(failures)
  message(FATAL_ERROR "installation into ${PREFIX}:\n${failures}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
