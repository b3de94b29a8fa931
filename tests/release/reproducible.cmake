cmake_minimum_required(VERSION 3.20)
# Builds the release twice from one commit, in two fresh clones at paths of
# different lengths, and compares what the two builds made byte by byte: the
# release archives and every file they hold, the executables and the jars.
# Fails naming each file that differs, or that only one build made.
#   cmake -DGIT=<git> -DSOURCE_DIR=<a clone of the repository> [-DCOMMIT=<commit>, else its HEAD]
#         -DWORK_DIR=<dir> -DGENERATOR=<CMake generator> -DNAME=<archive name> -P reproducible.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
# Each build takes SOURCE_DATE_EPOCH as the caller sets it (or not); nothing of
# a build tool that runs this test leaks into the builds.
unset(ENV{MAKEFLAGS})
unset(ENV{MFLAGS})
unset(ENV{DESTDIR})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command} failed (${result}):\n${output}")
  endif()
endfunction()

if(NOT COMMIT)
  execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse HEAD
                  OUTPUT_VARIABLE COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endif()
message(STATUS "Building ${COMMIT} twice")

# Only what the release holds: no tests, no benchmarks.
set(clones ${WORK_DIR}/a ${WORK_DIR}/second-clone-at-a-longer-path)
foreach(clone IN LISTS clones)
  # --shared: the clone reads the objects of the repository it comes from, so
  # any commit of it checks out, one on no branch too.
  run(${GIT} clone --quiet --shared --no-checkout ${SOURCE_DIR} ${clone})
  run(${GIT} -C ${clone} -c advice.detachedHead=false checkout --quiet --detach ${COMMIT})
  run(${CMAKE_COMMAND} -S ${clone} -B ${clone}/build -G ${GENERATOR}
      -DCMAKE_TOOLCHAIN_FILE=${clone}/cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF)
  run(${CMAKE_COMMAND} --build ${clone}/build -j2)
  run(${CMAKE_CPACK_COMMAND} --config ${clone}/build/CPackConfig.cmake -B ${clone}/package)
  file(ARCHIVE_EXTRACT INPUT ${clone}/package/${NAME}.zip DESTINATION ${clone}/unpacked)
endforeach()

# What each build made, as paths below the clone: the archive, the files it
# holds, and the executables and jars of the build tree.
function(made clone result)
  file(GLOB_RECURSE unpacked LIST_DIRECTORIES false RELATIVE ${clone} ${clone}/unpacked/*)
  file(GLOB_RECURSE jars LIST_DIRECTORIES false RELATIVE ${clone} ${clone}/build/java/*.jar)
  file(GLOB executables LIST_DIRECTORIES false RELATIVE ${clone} ${clone}/build/bin/*.exe)
  set(files package/${NAME}.zip ${unpacked} ${jars} ${executables})
  list(SORT files)
  set(${result} ${files} PARENT_SCOPE)
endfunction()
list(GET clones 0 first)
list(GET clones 1 second)
made(${first} first_files)
made(${second} second_files)

set(differ)
set(compared 0)
foreach(file IN LISTS first_files)
  if(NOT file IN_LIST second_files)
    list(APPEND differ "${file} (only in the first build)")
    continue()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${first}/${file} ${second}/${file} RESULT_VARIABLE result)
  math(EXPR compared "${compared} + 1")
  if(NOT result EQUAL 0)
    list(APPEND differ ${file})
  endif()
endforeach()
foreach(file IN LISTS second_files)
  if(NOT file IN_LIST first_files)
    list(APPEND differ "${file} (only in the second build)")
  endif()
endforeach()

# A build that made too little would compare equal: the release's programs and
# jars must be among what was compared.
foreach(needed package/${NAME}.zip build/bin/ravelin.exe build/bin/ravelinc.exe build/java/ravelin-java.jar
               unpacked/${NAME}/bin/ravelin.exe unpacked/${NAME}/example/lib/hello.jar)
  if(NOT needed IN_LIST first_files)
    list(APPEND differ "${needed} (made by neither build)")
  endif()
endforeach()
if(differ)
  list(JOIN differ "\n  " differ)
  message(FATAL_ERROR "The two builds of ${COMMIT} differ in:\n  ${differ}\n"
                      "(the builds are in ${first} and ${second})")
endif()
message(STATUS "The two builds of ${COMMIT} are the same in all ${compared} files compared")
file(REMOVE_RECURSE ${WORK_DIR})
