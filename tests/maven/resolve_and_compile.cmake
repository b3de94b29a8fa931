# An application's Maven build against the Java side as `cmake --install`
# leaves it: installs the build's Maven repository into a directory of its own,
# checks the artifacts there, then compiles the application in consumer/ with
# Debian's maven, offline, its plug-ins from Debian's packages and the library
# from the installed repository (file: repositories are the only ones read),
# once asking for the version and once for a version range.
#   cmake -DBUILD_DIR=<build tree> -DWORK_DIR=<directory> -DMVN=<mvn> -DJAR=<jar>
#         -DGROUP_PATH=org/ravelin -DARTIFACT=ravelin-launcher -DVERSION=<version>
#         -DLICENSE=<the repository's LICENSE> -DMETADATA_SCRIPT=<java/maven_metadata.cmake>
#         -DDEFAULT_EPOCH=<its DEFAULT_EPOCH>
#         -P resolve_and_compile.cmake
get_filename_component(here ${CMAKE_SCRIPT_MODE_FILE} DIRECTORY)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/install
                        --component maven_repository
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(repository ${WORK_DIR}/install/maven)
set(base ${repository}/${GROUP_PATH}/${ARTIFACT}/${VERSION}/${ARTIFACT}-${VERSION})
foreach(file .jar -sources.jar -javadoc.jar .pom)
  foreach(suffix "" .sha1 .md5)
    if(NOT EXISTS ${base}${file}${suffix})
      message(FATAL_ERROR "not installed: ${base}${file}${suffix}")
    endif()
  endforeach()
endforeach()
# What each jar holds: the classes, their sources, the documentation, and each
# the licence.
foreach(check ".jar;org/ravelin/launcher/RavelinMain.class"
              "-sources.jar;org/ravelin/launcher/LaunchContext.java"
              "-javadoc.jar;org/ravelin/launcher/LaunchContext.Builder.html"
              ".jar;META-INF/LICENSE" "-sources.jar;META-INF/LICENSE" "-javadoc.jar;META-INF/LICENSE")
  list(GET check 0 file)
  list(GET check 1 entry)
  execute_process(COMMAND ${JAR} tf ${base}${file} OUTPUT_VARIABLE entries RESULT_VARIABLE result)
  string(FIND "${entries}" "${entry}\n" found)
  if(NOT result EQUAL 0 OR found EQUAL -1)
    message(FATAL_ERROR "${base}${file} holds no ${entry}:\n${entries}")
  endif()
endforeach()
file(READ ${base}.pom pom)
foreach(coordinate "<groupId>org.ravelin</groupId>" "<artifactId>${ARTIFACT}</artifactId>"
                   "<version>${VERSION}</version>")
  string(FIND "${pom}" "${coordinate}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "the POM lacks ${coordinate}:\n${pom}")
  endif()
endforeach()
# What Maven Central asks of a POM and what licence tools read: the project's
# address, the licence that LICENSE names in its first line, the copyright holder
# of LICENSE as the developers, and where the sources are kept, at that address.
file(STRINGS ${LICENSE} licence_name LIMIT_COUNT 1)
file(STRINGS ${LICENSE} copyright REGEX "^Copyright \\(c\\) [0-9]+ ")
string(REGEX REPLACE "^Copyright \\(c\\) [0-9]+ " "" holder "${copyright}")
set(blank "[ \t\r\n]*")
if(NOT pom MATCHES "<scm[^>]*>${blank}<connection>scm:git:([^<]+)\\.git</connection>${blank}<developerConnection>scm:git:[^<]+</developerConnection>${blank}<url>([^<]+)</url>${blank}</scm>")
  message(FATAL_ERROR "the POM lacks <scm> with a connection, a developerConnection and a url:\n${pom}")
endif()
set(connection "${CMAKE_MATCH_1}")
set(address "${CMAKE_MATCH_2}")
if(NOT address MATCHES "^https://[^@ ]+$" OR NOT connection STREQUAL address)
  message(FATAL_ERROR "the sources' connection (${connection}) and url (${address}) are not one https address")
endif()
foreach(pattern "</description>${blank}<url>${address}</url>"
                "<licenses>${blank}<license>${blank}<name>${licence_name}</name>${blank}<url>https://[^<]+</url>"
                "<developers>${blank}<developer>${blank}<name>${holder}</name>")
  if(NOT pom MATCHES "${pattern}")
    message(FATAL_ERROR "the POM does not match ${pattern}:\n${pom}")
  endif()
endforeach()

# The artifact's maven-metadata.xml, which a version range needs, with its
# checksums; its lastUpdated is SOURCE_DATE_EPOCH's time, else the build's fixed
# DEFAULT_EPOCH, never the clock.
set(metadata ${repository}/${GROUP_PATH}/${ARTIFACT}/maven-metadata.xml)
foreach(suffix "" .sha1 .md5)
  if(NOT EXISTS ${metadata}${suffix})
    message(FATAL_ERROR "not installed: ${metadata}${suffix}")
  endif()
endforeach()
file(READ ${metadata} text)
string(REPLACE "/" "." group ${GROUP_PATH})
foreach(pattern "<groupId>${group}</groupId>" "<artifactId>${ARTIFACT}</artifactId>" "<latest>${VERSION}</latest>"
                "<release>${VERSION}</release>" "<versions>${blank}<version>${VERSION}</version>${blank}</versions>"
                "<lastUpdated>[0-9]+</lastUpdated>")
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "${metadata} does not match ${pattern}:\n${text}")
  endif()
endforeach()
set(ENV{SOURCE_DATE_EPOCH} ${DEFAULT_EPOCH})
string(TIMESTAMP default_stamp "%Y%m%d%H%M%S" UTC)
unset(ENV{SOURCE_DATE_EPOCH})
foreach(case "--unset=SOURCE_DATE_EPOCH;${default_stamp}" "SOURCE_DATE_EPOCH=86400;19700102000000")
  list(GET case 0 environment)
  list(GET case 1 stamp)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${environment}
                          ${CMAKE_COMMAND} -DGROUP=${group} -DARTIFACT=${ARTIFACT} -DVERSION=${VERSION}
                          -DDEFAULT_EPOCH=${DEFAULT_EPOCH} -DOUTPUT=${WORK_DIR}/maven-metadata.xml -P ${METADATA_SCRIPT}
                  RESULT_VARIABLE result)
  file(READ ${WORK_DIR}/maven-metadata.xml written)
  if(NOT result EQUAL 0 OR NOT written MATCHES "<lastUpdated>${stamp}</lastUpdated>")
    message(FATAL_ERROR "with ${environment} the metadata's lastUpdated is not ${stamp}:\n${written}")
  endif()
endforeach()

# The application's build, offline, asks for our version, then for a version
# range around it; each resolves it from the installed repository into a local
# repository of its own.
string(REGEX MATCH "^[0-9]+" major ${VERSION})
math(EXPR next_major "${major} + 1")
set(run 0)
foreach(requested "${VERSION}" "[${major}.0,${next_major}.0)")
  math(EXPR run "${run} + 1")
  set(consumer ${WORK_DIR}/consumer-${run})
  set(local ${WORK_DIR}/local-repository-${run})
  file(COPY ${here}/consumer/ DESTINATION ${consumer})
  execute_process(COMMAND ${MVN} --batch-mode --no-transfer-progress --offline
                          --settings ${here}/settings.xml
                          -Dmaven.repo.local=${local}
                          -Daether.offline.protocols=file
                          -Dravelin.repository=file://${repository} -Dravelin.version=${requested}
                          compile
                  WORKING_DIRECTORY ${consumer}
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "mvn compile with ravelin.version ${requested} failed: ${result}")
  endif()
  if(NOT EXISTS ${local}/${GROUP_PATH}/${ARTIFACT}/${VERSION}/${ARTIFACT}-${VERSION}.jar)
    message(FATAL_ERROR "maven did not resolve ${ARTIFACT} ${VERSION} for ${requested} from ${repository}")
  endif()
  if(NOT EXISTS ${consumer}/target/classes/com/example/shop/Shop.class)
    message(FATAL_ERROR "maven compiled no Shop.class with ravelin.version ${requested}")
  endif()
endforeach()
