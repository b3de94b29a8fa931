cmake_minimum_required(VERSION 3.20)
# The shape of the code, checked on every test run:
#  - folders depend one way: base, settings, vm, launch, instance, service, driver. A file
#    includes headers of its own folder and of folders before it, never after;
#  - a rule (a source whose name does not end in "_win.cpp", and every header a
#    rule includes from src/) does not include <windows.h> or the C runtime's
#    Windows-only headers. The native build of the rules proves the same by
#    compiling them where those headers do not exist;
#  - a DLL the launcher does not link is loaded in one place,
#    src/base/system_library_win.cpp (SystemLibrary): from the system folder
#    alone, once.
#   cmake -DSOURCE_DIR=<repository> -P check_layout.cmake
set(order base settings vm launch instance service driver)
set(windows_only windows.h io.h fcntl.h process.h)

file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}/src" "${SOURCE_DIR}/src/*.h" "${SOURCE_DIR}/src/*.cpp")
set(problems "")
set(windows_headers "")
foreach(file IN LISTS files)
  file(STRINGS "${SOURCE_DIR}/src/${file}" includes REGEX "^#include [<\"]")
  string(REGEX MATCH "^[^/]+" folder "${file}")
  list(FIND order "${folder}" own_rank)
  if(own_rank EQUAL -1)
    list(APPEND problems "src/${file}: folder ${folder} is not one of ${order}")
  endif()
  foreach(line IN LISTS includes)
    if(line MATCHES "^#include \"([^/\"]+)/[^\"]+\"")
      list(FIND order "${CMAKE_MATCH_1}" rank)
      if(rank GREATER own_rank)
        list(APPEND problems "src/${file} (${folder}) includes ${line}, from a folder after its own")
      endif()
    endif()
    if(line MATCHES "^#include <([a-z]+\\.h)>" AND CMAKE_MATCH_1 IN_LIST windows_only)
      list(APPEND windows_headers "${file}")
    endif()
  endforeach()
endforeach()

# A header that includes a Windows header taints every header that includes it.
set(changed TRUE)
while(changed)
  set(changed FALSE)
  foreach(file IN LISTS files)
    if(NOT file MATCHES "\\.h$" OR file IN_LIST windows_headers)
      continue()
    endif()
    file(STRINGS "${SOURCE_DIR}/src/${file}" includes REGEX "^#include \"")
    foreach(line IN LISTS includes)
      if(line MATCHES "^#include \"([^\"]+)\"" AND CMAKE_MATCH_1 IN_LIST windows_headers)
        list(APPEND windows_headers "${file}")
        set(changed TRUE)
        break()
      endif()
    endforeach()
  endforeach()
endwhile()

foreach(file IN LISTS files)
  if(NOT file MATCHES "\\.cpp$" OR file MATCHES "_win\\.cpp$" OR file STREQUAL "driver/main.cpp")
    continue()
  endif()
  if(file IN_LIST windows_headers)
    list(APPEND problems "src/${file} is a rule but includes a Windows header: call Windows from a _win.cpp shell")
  endif()
  file(STRINGS "${SOURCE_DIR}/src/${file}" includes REGEX "^#include \"")
  foreach(line IN LISTS includes)
    if(line MATCHES "^#include \"([^\"]+)\"" AND CMAKE_MATCH_1 IN_LIST windows_headers)
      list(APPEND problems "src/${file} is a rule but includes ${CMAKE_MATCH_1}, which brings in Windows")
    endif()
  endforeach()
endforeach()

foreach(file IN LISTS files)
  if(file STREQUAL "base/system_library_win.cpp")
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/src/${file}" loads REGEX "LoadLibrary|GetModuleHandle[AW]?\\(L?\"")
  if(loads)
    list(APPEND problems "src/${file} loads a DLL itself: use SystemLibrary (base/system_library.h)")
  endif()
endforeach()

if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "layout:\n  ${text}")
endif()
list(LENGTH files count)
message(STATUS "layout: ${count} files depend one way; rules are free of Windows headers")
