# SPDX-License-Identifier: GPL-3.0-or-later
# Compile options shared by every target of the project.
add_library(lumora_options INTERFACE)
target_compile_options(lumora_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                             -Wold-style-cast -Woverloaded-virtual)
if(LUMORA_WERROR)
  target_compile_options(lumora_options INTERFACE -Werror)
endif()
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # GCC 12 reports overlapping copies inside std::string's own code at -O3 where there are none (GCC bug
  # 105329); the warning says nothing about ours there.
  target_compile_options(lumora_options INTERFACE -Wno-restrict)
endif()
if(LUMORA_SANITIZE)
  target_compile_options(lumora_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                  -fno-sanitize-recover=undefined)
  target_link_options(lumora_options INTERFACE -fsanitize=address,undefined)
endif()

# lumora_module(NAME SOURCES ... [DEPS ...] [PRIVATE_DEPS ...] [FUZZED [FUZZ_DEPS ...]]) builds a static library
# of one module. DEPS are what its headers expose to users; PRIVATE_DEPS only its sources use, so their
# include paths and definitions stay out of the modules above it (they are still linked in).
# A FUZZED module gets, with LUMORA_FUZZ on, a second copy NAME_fuzz built with coverage instrumentation and
# the sanitizers, for the fuzz harnesses.
function(lumora_module name)
  cmake_parse_arguments(M "FUZZED" "" "SOURCES;DEPS;PRIVATE_DEPS;FUZZ_DEPS" ${ARGN})
  add_library(${name} STATIC ${M_SOURCES})
  # Prefixed file names keep our libraries apart from system ones (our jpeg module is not libjpeg.a).
  set_target_properties(${name} PROPERTIES OUTPUT_NAME lumora_${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${M_DEPS} PRIVATE ${M_PRIVATE_DEPS} lumora_options)
  if(LUMORA_FUZZ AND M_FUZZED)
    add_library(${name}_fuzz STATIC ${M_SOURCES})
    set_target_properties(${name}_fuzz PROPERTIES OUTPUT_NAME lumora_${name}_fuzz)
    target_include_directories(${name}_fuzz PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_compile_options(${name}_fuzz PRIVATE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    target_link_libraries(${name}_fuzz PUBLIC ${M_FUZZ_DEPS})
  endif()
endfunction()
