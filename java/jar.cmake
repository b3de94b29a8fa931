# Runs the JDK's jar so that the same files give the same jar: every entry gets
# one time, SOURCE_DATE_EPOCH's when the build sets it, else DEFAULT_EPOCH's
# (with DATE_OPTION=OFF, for a jar tool without --date, the build's time), and
# the entries come in a fixed order.
# As add_jar's jar command (the arguments after -- as add_jar gives them to jar:
# the first one -c, f and optionally e and m, then the jar, the main class and
# the manifest in that order, then the files and @lists in the order given):
#   cmake -DJAR=<jar> -DDATE_OPTION=ON|OFF -DDEFAULT_EPOCH=<seconds> -P jar.cmake -- -cf[e][m] <jar> ...
# A jar of whole folders: every file below each folder, sorted by path, with
# the paths below the folder as entry names:
#   cmake -DJAR=<jar> -DDATE_OPTION=ON|OFF -DDEFAULT_EPOCH=<seconds> -DOUTPUT=<jar> "-DTREES=<dir>;..."
#         -P jar.cmake
cmake_minimum_required(VERSION 3.20)

set(command ${JAR} --create)
if(DATE_OPTION)
  if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    set(ENV{SOURCE_DATE_EPOCH} ${DEFAULT_EPOCH})
  endif()
  # jar takes no time before 1980-01-01T00:00:02Z, which some builds give (1980-01-01).
  if("$ENV{SOURCE_DATE_EPOCH}" LESS 315532802)
    set(ENV{SOURCE_DATE_EPOCH} 315532802)
  endif()
  # string(TIMESTAMP) takes SOURCE_DATE_EPOCH for the time of day.
  string(TIMESTAMP date "%Y-%m-%dT%H:%M:%SZ" UTC)
  list(APPEND command --date=${date})
endif()

if(DEFINED OUTPUT)
  if(DATE_OPTION)
    list(APPEND command --file ${OUTPUT})
  else()
    # A jar tool without --date may also lack the long options (JDK 8).
    set(command ${JAR} cf ${OUTPUT})
  endif()
  # Through a file of arguments, each quoted: the list may be longer than a
  # command line may be.
  set(arguments "")
  foreach(tree IN LISTS TREES)
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${tree} ${tree}/*)
    list(SORT files)
    foreach(file IN LISTS files)
      string(APPEND arguments "-C \"${tree}\" \"${file}\"\n")
    endforeach()
  endforeach()
  # Beside the command's other files, not beside the jar (in the Maven layout).
  get_filename_component(name ${OUTPUT} NAME)
  set(arguments_file ${CMAKE_CURRENT_BINARY_DIR}/${name}.arguments)
  file(WRITE ${arguments_file} "${arguments}")
  list(APPEND command @${arguments_file})
else()
  set(rest)
  set(after_dashes OFF)
  foreach(index RANGE 1 ${CMAKE_ARGC})
    if(index LESS CMAKE_ARGC)
      if(after_dashes)
        list(APPEND rest "${CMAKE_ARGV${index}}")
      elseif(CMAKE_ARGV${index} STREQUAL "--")
        set(after_dashes ON)
      endif()
    endif()
  endforeach()
  if(NOT DATE_OPTION)
    # As add_jar would have run it: nothing to add.
    set(command ${JAR} ${rest})
  else()
    list(POP_FRONT rest mode)
    if(NOT mode MATCHES "^-cf(e?)(m?)$")
      message(FATAL_ERROR "jar.cmake takes -cf, -cfe, -cfm or -cfem, not: ${mode}")
    endif()
    set(main_class ${CMAKE_MATCH_1})
    set(manifest ${CMAKE_MATCH_2})
    list(POP_FRONT rest jar_file)
    list(APPEND command --file ${jar_file})
    if(main_class)
      list(POP_FRONT rest value)
      list(APPEND command --main-class ${value})
    endif()
    if(manifest)
      list(POP_FRONT rest value)
      list(APPEND command --manifest ${value})
    endif()
    list(APPEND command ${rest})
  endif()
endif()

execute_process(COMMAND ${command} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "jar failed (${result}): ${command}")
endif()
