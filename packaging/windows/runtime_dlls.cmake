# SPDX-License-Identifier: GPL-3.0-or-later
# Run by the install: puts the Qt plugins into the portable folder, each in the folder named after its kind
# (platforms/, imageformats/), where Qt looks beside the program, and then every DLL that the program and the
# plugins load, directly or through one another, from Qt's bin directory or the compiler's MinGW runtime.
# Windows' own DLLs stay out: those MinGW links against through an import library of their own, and the API
# sets (api-ms-win-*). Any other DLL stops the install, as the folder would not start without it.
# In: LUMORA_PROGRAM, LUMORA_PLUGINS, LUMORA_QT_BIN, LUMORA_OBJDUMP, LUMORA_STRIP, LUMORA_COMPILER.
cmake_policy(VERSION 3.25)

function(imported_dlls binary out)
  execute_process(COMMAND "${LUMORA_OBJDUMP}" -p "${binary}" OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${LUMORA_OBJDUMP} cannot read ${binary}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
  list(TRANSFORM lines REPLACE "^DLL Name: *" "")
  list(TRANSFORM lines STRIP)
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

function(compiler_file name out)
  execute_process(COMMAND "${LUMORA_COMPILER}" -print-file-name=${name} OUTPUT_VARIABLE path
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(IS_ABSOLUTE "${path}" AND EXISTS "${path}")
    set(${out} "${path}" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

# The file that ships as the DLL, or nothing for Windows' own.
function(shipped_dll name out)
  if(EXISTS "${LUMORA_QT_BIN}/${name}")
    set(${out} "${LUMORA_QT_BIN}/${name}" PARENT_SCOPE)
    return()
  endif()
  compiler_file("${name}" runtime)
  if(runtime)
    set(${out} "${runtime}" PARENT_SCOPE)
    return()
  endif()
  string(TOLOWER "${name}" lower)
  string(REGEX REPLACE "\\.dll$" "" stem "${lower}")
  compiler_file("lib${stem}.a" import_library)
  if(NOT import_library AND NOT lower MATCHES "^(api|ext)-ms-")
    message(FATAL_ERROR "${name} is needed, but it is neither in ${LUMORA_QT_BIN}, nor in the MinGW runtime, "
                        "nor a Windows DLL")
  endif()
  set(${out} "" PARENT_SCOPE)
endfunction()

# "cmake --install --strip" strips these too: the MinGW runtime comes with its debugging symbols, ten times
# its code.
# install_dll(FILE [FOLDER]): into the folder's top, or into its subfolder FOLDER.
function(install_dll file)
  set(destination "${CMAKE_INSTALL_PREFIX}")
  if(ARGC GREATER 1)
    string(APPEND destination "/${ARGV1}")
  endif()
  file(INSTALL DESTINATION "${destination}" TYPE SHARED_LIBRARY FILES "${file}")
  if(CMAKE_INSTALL_DO_STRIP)
    get_filename_component(name "${file}" NAME)
    execute_process(COMMAND "${LUMORA_STRIP}" --strip-unneeded "$ENV{DESTDIR}${destination}/${name}"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
endfunction()

foreach(plugin IN LISTS LUMORA_PLUGINS)
  get_filename_component(kind "${plugin}" DIRECTORY)
  get_filename_component(kind "${kind}" NAME)
  install_dll("${plugin}" "${kind}")
endforeach()

set(pending "${LUMORA_PROGRAM}" ${LUMORA_PLUGINS})
set(seen)
while(pending)
  list(POP_FRONT pending binary)
  imported_dlls("${binary}" names)
  foreach(name IN LISTS names)
    string(TOLOWER "${name}" key)
    if(key IN_LIST seen)
      continue()
    endif()
    list(APPEND seen "${key}")
    shipped_dll("${name}" file)
    if(file)
      install_dll("${file}")
      list(APPEND pending "${file}")
    endif()
  endforeach()
endwhile()
