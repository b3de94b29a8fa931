# An application's Maven build with the Ravelin Maven plug-in, offline: installs
# the build's Maven repository into a directory of its own, runs `mvn package` on
# plugin-consumer/ with Debian's maven and packaged plug-ins, and checks what the
# goal ravelin:package wrote: target/Shop/ with Shop.exe (the launcher branded
# with the project's name, version, vendor and description), Shop.qel (checked
# by the packager: no findings), lib/ with the application's jar, its runtime
# dependency and the Java side's library, and target/Shop.zip holding that
# folder. A second package run gives the same zip, byte for byte.
#   cmake -DBUILD_DIR=<build tree> -DWORK_DIR=<directory> -DMVN=<mvn> -DVERSION=<version>
#         -DJAVA=<java> -DPACKAGER_JAR=<packager jar> -P plugin_package.cmake
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

file(COPY ${here}/plugin-consumer/ DESTINATION ${WORK_DIR}/consumer)
function(package log)
  run_package(${log} result output ${ARGN})
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "mvn package failed (${result}):\n${output}")
  endif()
endfunction()
function(run_package log result_var output_var)
  execute_process(COMMAND ${MVN} --batch-mode --no-transfer-progress --offline ${ARGN}
                          --settings ${here}/settings.xml
                          -Dmaven.repo.local=${WORK_DIR}/local-repository
                          -Daether.offline.protocols=file
                          -Dravelin.repository=file://${repository} -Dravelin.plugin.version=${VERSION}
                          package
                  WORKING_DIRECTORY ${WORK_DIR}/consumer
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  file(WRITE ${WORK_DIR}/${log} "${output}")
  set(${result_var} ${result} PARENT_SCOPE)
  set(${output_var} "${output}" PARENT_SCOPE)
endfunction()
package(first.log)

set(target ${WORK_DIR}/consumer/target)
set(folder ${target}/Shop)
foreach(file Shop.exe Shop.qel lib/shop-2.3.1-SNAPSHOT.jar lib/commons-lang3-3.12.0.jar lib/ravelin-java.jar)
  if(NOT EXISTS ${folder}/${file})
    file(GLOB_RECURSE written RELATIVE ${target} ${target}/*)
    message(FATAL_ERROR "the goal wrote no Shop/${file}; it wrote: ${written}")
  endif()
endforeach()

# The properties file: the ready main class starts the configured class, from
# the class path of lib/, with the configured settings.
# (file(READ) drops the CR of each CR LF line end; the HEX read finds them.)
file(READ ${folder}/Shop.qel qel)
file(READ ${folder}/Shop.qel qel_bytes HEX)
string(REGEX REPLACE "(..)" "\\1 " qel_pairs "${qel_bytes}")
string(REPLACE "0d 0a " "" qel_rest "${qel_pairs}")
if(" ${qel_rest}" MATCHES " 0a " OR qel_rest STREQUAL qel_pairs)
  message(FATAL_ERROR "Shop.qel's lines do not end with CR LF")
endif()
foreach(line "qel.application.name=Shop" "qel.nl.java.launcher.main.class=org.ravelin.launcher.RavelinMain"
             "qel.application.main.class=com.example.shop.Shop"
             "qel.class.path=lib/shop-2.3.1-SNAPSHOT.jar;lib/commons-lang3-3.12.0.jar;lib/ravelin-java.jar"
             "qel.stderr.redirect=logs/shop.log" "qel.nl.java.option.java.heap.size.max=256m")
  string(FIND "${qel}" "${line}\n" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "Shop.qel lacks the line ${line}:\n${qel}")
  endif()
endforeach()
# The packager finds nothing to refuse in it.
execute_process(COMMAND ${JAVA} -jar ${PACKAGER_JAR} check-settings --properties ${folder}/Shop.qel
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the packager refuses Shop.qel (${result}):\n${output}")
endif()

# The executable carries the project's texts in its version information (UTF-16).
file(READ ${folder}/Shop.exe exe HEX)
foreach(text "Shop" "2.3.1-SNAPSHOT" "Example Shops Ltd" "Shop floor planning" "Copyright 2026 Example Shops Ltd"
             "Shop.exe")
  set(utf16 "")
  string(HEX "${text}" hex)
  string(REGEX REPLACE "(..)" "\\100" utf16 "${hex}")
  string(FIND "${exe}" "${utf16}0000" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "Shop.exe does not carry \"${text}\"")
  endif()
endforeach()

# The zip holds the folder under Shop/, and a second run writes the same bytes.
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${target}/Shop.zip OUTPUT_VARIABLE entries RESULT_VARIABLE result)
string(STRIP "${entries}" entries)
string(REPLACE "\n" ";" entries "${entries}")
set(expected Shop/Shop.exe Shop/Shop.qel Shop/lib/commons-lang3-3.12.0.jar Shop/lib/ravelin-java.jar
             Shop/lib/shop-2.3.1-SNAPSHOT.jar)
if(NOT result EQUAL 0 OR NOT entries STREQUAL expected)
  message(FATAL_ERROR "Shop.zip holds ${entries}, not ${expected}")
endif()
file(SHA256 ${target}/Shop.zip first)
package(second.log)
file(SHA256 ${target}/Shop.zip second)
if(NOT first STREQUAL second)
  message(FATAL_ERROR "a second package run wrote another Shop.zip")
endif()

# Settings the launcher would refuse fail the build, which names the key and the
# key meant.
run_package(misspelt.log result output -Pmisspelt)
if(result EQUAL 0 OR NOT output MATCHES "qel\\.clas\\.path" OR NOT output MATCHES "qel\\.class\\.path")
  message(FATAL_ERROR "a misspelt key did not fail the build with its name and the nearest key (${result}):\n${output}")
endif()

# <runtime>: a Windows runtime laid into the program's folder as runtime/ and
# named in its settings, from a folder and from the Maven coordinates of a zip
# (here in the local repository, as a company's repository would hold it).
set(jre ${WORK_DIR}/jre-17.0.12)
file(WRITE ${jre}/bin/java.exe "MZ java")
file(WRITE ${jre}/bin/javaw.exe "MZ javaw")
file(WRITE ${jre}/lib/modules "modules")
file(WRITE ${jre}/release "JAVA_VERSION=\"17.0.12\"\n")
set(zip_dir ${WORK_DIR}/local-repository/com/example/jre-windows/17.0.12)
file(MAKE_DIRECTORY ${zip_dir})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${zip_dir}/jre-windows-17.0.12-x64.zip --format=zip
                        jre-17.0.12
                WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE result)
foreach(given "${jre}" "com.example:jre-windows:17.0.12:x64")
  package(runtime.log -Dravelin.runtime=${given})
  foreach(file runtime/bin/java.exe runtime/bin/javaw.exe runtime/lib/modules runtime/release)
    if(NOT EXISTS ${folder}/${file})
      message(FATAL_ERROR "with the runtime ${given}, the goal wrote no Shop/${file}")
    endif()
  endforeach()
  file(READ ${folder}/Shop.qel qel)
  foreach(line "qel.nl.current.vm=runtime\\bin\\javaw.exe" "qel.nl.current.vm.fallback=false"
               "qel.nl.valid.vm.list=J2" "qel.stderr.redirect=logs/shop.log")
    string(FIND "${qel}" "${line}\n" found)
    if(found EQUAL -1)
      message(FATAL_ERROR "with the runtime ${given}, Shop.qel lacks the line ${line}:\n${qel}")
    endif()
  endforeach()
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${target}/Shop.zip OUTPUT_VARIABLE entries)
  if(NOT entries MATCHES "Shop/runtime/bin/javaw.exe")
    message(FATAL_ERROR "with the runtime ${given}, Shop.zip holds ${entries}")
  endif()
  file(READ ${WORK_DIR}/runtime.log log)
  if(NOT log MATCHES "runtime [^\n]*Shop[/\\\\]runtime: copied as given: 0.0 MB in 4 files")
    message(FATAL_ERROR "the build log does not give the runtime's size:\n${log}")
  endif()
endforeach()
file(SHA256 ${target}/Shop.zip first)
package(runtime-again.log -Dravelin.runtime=com.example:jre-windows:17.0.12:x64)
file(SHA256 ${target}/Shop.zip second)
if(NOT first STREQUAL second)
  message(FATAL_ERROR "a second package run with the runtime wrote another Shop.zip")
endif()
run_package(no-runtime.log result output -Dravelin.runtime=${WORK_DIR}/consumer)
if(result EQUAL 0 OR NOT output MATCHES "has no bin.java.exe")
  message(FATAL_ERROR "a folder without a runtime did not fail the build (${result}):\n${output}")
endif()
