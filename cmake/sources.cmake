# The launcher's sources, split the way the code is: rules that need no Windows,
# and the thin Windows shells beside them. A file whose name ends in "_win.cpp"
# calls Windows; every other file under src/ is a rule and must build on any
# platform. The entry points (src/driver/main.cpp of the windowed launcher and
# src/driver/main_console.cpp of its console twin) belong to neither library.
# Headers are listed with their library (so that they show in an IDE): a
# header that includes <windows.h> with the shells, every other with the rules.
#
#   qel_collect_sources(<rules variable> <shells variable>)
function(qel_collect_sources rules_var shells_var)
  get_filename_component(root "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/.." ABSOLUTE)
  file(GLOB_RECURSE all CONFIGURE_DEPENDS "${root}/src/*.cpp")
  list(REMOVE_ITEM all "${root}/src/driver/main.cpp" "${root}/src/driver/main_console.cpp")
  set(rules ${all})
  list(FILTER rules EXCLUDE REGEX "_win\\.cpp$")
  set(shells ${all})
  list(FILTER shells INCLUDE REGEX "_win\\.cpp$")
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS "${root}/src/*.h")
  foreach(header ${headers})
    file(STRINGS ${header} windows REGEX "^#include <windows\\.h>")
    if(windows)
      list(APPEND shells ${header})
    else()
      list(APPEND rules ${header})
    endif()
  endforeach()
  set(${rules_var} ${rules} PARENT_SCOPE)
  set(${shells_var} ${shells} PARENT_SCOPE)
endfunction()
