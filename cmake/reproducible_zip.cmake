# CPack's post-build script: packs each .zip CPack made again so that the same
# installed files give the same archive. CPack's ZIP takes the entries in the
# order the staging folder lists them, with the files' times (modification,
# access and change) and their owner; here the JDK's jar packs them, sorted by
# path, all with one time (SOURCE_DATE_EPOCH's when the build sets it, else
# CPACK_QEL_DEFAULT_EPOCH's) and no owner or mode. Folders are entries of their
# own only when empty (example/logs/); the others follow from the paths of their
# files. Without a jar that takes --date (CPACK_QEL_JAR empty) CPack's archive
# stays as it is.
cmake_minimum_required(VERSION 3.20)
if(NOT CPACK_QEL_JAR)
  return()
endif()

if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_QEL_DEFAULT_EPOCH})
endif()
# jar takes no time before 1980-01-01T00:00:02Z, which some builds give (1980-01-01).
if("$ENV{SOURCE_DATE_EPOCH}" LESS 315532802)
  set(ENV{SOURCE_DATE_EPOCH} 315532802)
endif()
# string(TIMESTAMP) takes SOURCE_DATE_EPOCH for the time of day.
string(TIMESTAMP date "%Y-%m-%dT%H:%M:%SZ" UTC)

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.zip$")
    continue()
  endif()
  set(work ${package}.repack)
  file(REMOVE_RECURSE ${work})
  file(MAKE_DIRECTORY ${work})
  file(ARCHIVE_EXTRACT INPUT ${package} DESTINATION ${work})

  file(GLOB_RECURSE paths LIST_DIRECTORIES true RELATIVE ${work} ${work}/*)
  list(SORT paths)
  set(arguments "")
  foreach(path IN LISTS paths)
    if(IS_DIRECTORY ${work}/${path})
      file(GLOB inside ${work}/${path}/*)
      if(inside)
        continue()
      endif()
    endif()
    string(APPEND arguments "-C \"${work}\" \"${path}\"\n")
  endforeach()
  file(WRITE ${work}.arguments "${arguments}")

  file(REMOVE ${package})
  execute_process(COMMAND ${CPACK_QEL_JAR} --create --no-manifest --date=${date} --file ${package} @${work}.arguments
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "could not pack ${package} again (${result})")
  endif()
  file(REMOVE_RECURSE ${work} ${work}.arguments)
endforeach()
