cmake_minimum_required(VERSION 3.20)
# java/jar.cmake gives every entry of a jar one time: SOURCE_DATE_EPOCH's, else
# the project's fixed time, and never one before the earliest jar takes.
#   cmake "-DJAR_COMMAND=<QEL_JAR>" -DJAR_SCRIPT=<jar.cmake> -DJAR=<jar> -DDEFAULT_EPOCH=<seconds>
#         -DWORK_DIR=<dir> -P jar_time.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(WRITE ${WORK_DIR}/tree/org/example/A.txt "a")
file(WRITE ${WORK_DIR}/tree/B.txt "b")

set(ENV{SOURCE_DATE_EPOCH} ${DEFAULT_EPOCH})
string(TIMESTAMP default_time "%Y-%m-%d %H:%M:%S" UTC)
# SOURCE_DATE_EPOCH as the build sets it (--unset: not at all) | the time every entry has
set(cases
  "--unset=SOURCE_DATE_EPOCH|${default_time}"
  "SOURCE_DATE_EPOCH=1800000000|2027-01-15 08:00:00"
  "SOURCE_DATE_EPOCH=315532800|1980-01-01 00:00:02")
set(failures)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 setting)
  list(GET case 1 expected)
  set(jar ${WORK_DIR}/out.jar)
  file(REMOVE ${jar})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${setting} ${JAR_COMMAND} -DOUTPUT=${jar} -DTREES=${WORK_DIR}/tree
                          -P ${JAR_SCRIPT}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output WORKING_DIRECTORY ${WORK_DIR})
  if(NOT result EQUAL 0)
    list(APPEND failures "${setting}: jar.cmake failed (${result}): ${output}")
    continue()
  endif()
  # jar tvf writes each entry's time in the time zone given.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${JAR} tvf ${jar}
                  OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "[^\n]+" lines "${listing}")
  set(names)
  foreach(line IN LISTS lines)
    # "   1 Thu Dec 10 00:00:00 UTC 2026 B.txt"
    if(NOT line MATCHES "^ *[0-9]+ [A-Z][a-z][a-z] ([A-Z][a-z][a-z]) ([0-9][0-9]) ([0-9:]+) UTC ([0-9]+) (.+)$")
      list(APPEND failures "${setting}: unexpected line of jar tvf: ${line}")
      continue()
    endif()
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND months ${CMAKE_MATCH_1} month)
    math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
    if(month LESS 10)
      set(month 0${month})
    endif()
    set(time "${CMAKE_MATCH_4}-${month}-${CMAKE_MATCH_2} ${CMAKE_MATCH_3}")
    list(APPEND names ${CMAKE_MATCH_5})
    if(NOT time STREQUAL expected)
      list(APPEND failures "${setting}: ${CMAKE_MATCH_5} has ${time}, not ${expected}")
    endif()
  endforeach()
  # The files in path order, after what jar puts first.
  set(expected_names META-INF/ META-INF/MANIFEST.MF B.txt org/example/A.txt)
  if(NOT names STREQUAL expected_names)
    list(APPEND failures "${setting}: entries ${names}, not ${expected_names}")
  endif()
endforeach()
if(failures)
  list(JOIN failures "\n  " failures)
  message(FATAL_ERROR "jar.cmake:\n  ${failures}")
endif()
