cmake_minimum_required(VERSION 3.20)
# Builds the release archive with CPack, unpacks it into a fresh folder and
# checks that it holds what a release promises.
#   cmake -DCPACK=<cpack> -DCONFIG=<CPackConfig.cmake> -DWORK_DIR=<dir> -DNAME=<archive name>
#         -DVERSION=<version> -DWITH_JAVA=0|1 -P package_and_unpack.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/unpacked)
execute_process(COMMAND ${CPACK} --config ${CONFIG} -B ${WORK_DIR}/package
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${output}")
endif()
set(archive ${WORK_DIR}/package/${NAME}.zip)
if(NOT EXISTS ${archive})
  file(GLOB made ${WORK_DIR}/package/*)
  message(FATAL_ERROR "cpack made no ${NAME}.zip, only: ${made}\n${output}")
endif()
file(ARCHIVE_EXTRACT INPUT ${archive} DESTINATION ${WORK_DIR}/unpacked)

set(root ${WORK_DIR}/unpacked/${NAME})
set(expected
  bin/ravelin.exe bin/ravelinc.exe README.md LICENSE docs/properties.md docs/building.md
  example/Hello.exe example/Hello.qel example/src/hello/Main.java)
if(WITH_JAVA)
  set(maven maven/org/ravelin/ravelin-launcher/${VERSION}/ravelin-launcher-${VERSION})
  list(APPEND expected
    bin/ravelin-java.jar bin/ravelin-java-sources.jar
    ${maven}.jar ${maven}-sources.jar ${maven}-javadoc.jar ${maven}.pom ${maven}.pom.sha1
    example/lib/ravelin-java.jar example/lib/hello.jar)
endif()
set(missing)
foreach(file IN LISTS expected)
  if(NOT EXISTS ${root}/${file} OR IS_DIRECTORY ${root}/${file})
    list(APPEND missing ${file})
  endif()
endforeach()
if(NOT IS_DIRECTORY ${root}/example/logs)
  list(APPEND missing example/logs/)
endif()
if(missing)
  file(GLOB_RECURSE held RELATIVE ${WORK_DIR}/unpacked ${WORK_DIR}/unpacked/*)
  message(FATAL_ERROR "${NAME}.zip lacks: ${missing}\nIt holds: ${held}")
endif()

# The example's launcher is the windowed launcher under the example's name.
file(SHA256 ${root}/bin/ravelin.exe launcher)
file(SHA256 ${root}/example/Hello.exe example)
if(NOT launcher STREQUAL example)
  message(FATAL_ERROR "example/Hello.exe is not bin/ravelin.exe")
endif()
file(STRINGS ${root}/LICENSE licence LIMIT_COUNT 1)
if(NOT licence STREQUAL "MIT License")
  message(FATAL_ERROR "LICENSE does not begin with \"MIT License\": ${licence}")
endif()
# Every jar carries the licence as META-INF/LICENSE.
file(SHA256 ${root}/LICENSE licence_digest)
file(GLOB_RECURSE jars RELATIVE ${root} ${root}/*.jar)
set(without_licence)
foreach(jar IN LISTS jars)
  set(inside ${WORK_DIR}/inside-jar)
  file(REMOVE_RECURSE ${inside})
  file(MAKE_DIRECTORY ${inside})
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${root}/${jar} META-INF/LICENSE
                  WORKING_DIRECTORY ${inside} OUTPUT_QUIET ERROR_QUIET)
  set(digest)
  if(EXISTS ${inside}/META-INF/LICENSE)
    file(SHA256 ${inside}/META-INF/LICENSE digest)
  endif()
  if(NOT digest STREQUAL licence_digest)
    list(APPEND without_licence ${jar})
  endif()
endforeach()
if(without_licence)
  list(JOIN without_licence ", " without_licence)
  message(FATAL_ERROR "these jars lack META-INF/LICENSE as LICENSE is: ${without_licence}")
endif()
message(STATUS "${archive} unpacked into ${root}")
