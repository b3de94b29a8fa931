# The plug-in's example of the documentation, built as a reader builds it: a
# project whose POM holds the page's <pluginRepositories> and <plugin> blocks
# as written, the build's Maven repository installed where the page says
# (third-party/maven in the project), and the example's sources (a main class
# and the icon the example names). `mvn package`, offline with Debian's maven
# and packaged plug-ins, must write the program's folder, which
# readme_example_test.cpp then runs under Wine.
# The same project, built once more with <runtime> (ravelin.runtime) naming a
# runtime folder whose bin\java.exe and bin\javaw.exe are the JVM bridge, gives
# project-runtime/target/Shop with its own runtime/, and its zip unpacked into
# runtime-unzipped/, which the test runs with no other Java.
#   cmake -DBUILD_DIR=<build tree> -DWORK_DIR=<directory> -DMVN=<mvn> -DPAGE=<docs page>
#         -DSOURCES=<folder with src/> -DBRIDGE=<jvm_bridge.exe> -P readme_example.cmake
get_filename_component(here ${CMAKE_SCRIPT_MODE_FILE} DIRECTORY)
file(REMOVE_RECURSE ${WORK_DIR})
set(project ${WORK_DIR}/project)
file(MAKE_DIRECTORY ${project})

execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${project}/third-party
                        --component maven_repository
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

# The page's first XML block that starts with the element, as written.
file(READ ${PAGE} page)
function(xml_block element variable)
  string(FIND "${page}" "```xml\n<${element}>" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "${PAGE} shows no <${element}> block")
  endif()
  string(SUBSTRING "${page}" ${start} -1 rest)
  string(LENGTH "```xml\n" skip)
  string(SUBSTRING "${rest}" ${skip} -1 rest)
  string(FIND "${rest}" "```" end)
  string(SUBSTRING "${rest}" 0 ${end} block)
  set(${variable} "${block}" PARENT_SCOPE)
endfunction()
xml_block(pluginRepositories plugin_repositories)
xml_block(plugin plugin)

file(WRITE ${project}/pom.xml "<?xml version=\"1.0\" encoding=\"UTF-8\"?>
<project xmlns=\"http://maven.apache.org/POM/4.0.0\">
  <modelVersion>4.0.0</modelVersion>
  <groupId>com.example</groupId>
  <artifactId>shop</artifactId>
  <version>2.3.1</version>
  <properties>
    <maven.compiler.source>8</maven.compiler.source>
    <maven.compiler.target>8</maven.compiler.target>
    <project.build.sourceEncoding>UTF-8</project.build.sourceEncoding>
  </properties>
${plugin_repositories}
  <build>
    <plugins>
${plugin}
    </plugins>
  </build>
</project>
")
file(COPY ${SOURCES}/src DESTINATION ${project})

execute_process(COMMAND ${MVN} --batch-mode --no-transfer-progress --offline --settings ${here}/settings.xml
                        -Dmaven.repo.local=${WORK_DIR}/local-repository -Daether.offline.protocols=file package
                WORKING_DIRECTORY ${project}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(WRITE ${WORK_DIR}/package.log "${output}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "mvn package of the page's example failed (${result}):\n${output}")
endif()
foreach(file Shop.exe Shop.qel lib/shop-2.3.1.jar lib/ravelin-java.jar)
  if(NOT EXISTS ${project}/target/Shop/${file})
    message(FATAL_ERROR "the example's build wrote no target/Shop/${file}:\n${output}")
  endif()
endforeach()

# The example with a runtime of its own.
set(runtime ${WORK_DIR}/bridge-runtime)
file(MAKE_DIRECTORY ${runtime}/bin)
file(COPY_FILE ${BRIDGE} ${runtime}/bin/java.exe)
file(COPY_FILE ${BRIDGE} ${runtime}/bin/javaw.exe)
set(with_runtime ${WORK_DIR}/project-runtime)
file(COPY ${project}/pom.xml ${project}/src ${project}/third-party DESTINATION ${with_runtime})
execute_process(COMMAND ${MVN} --batch-mode --no-transfer-progress --offline --settings ${here}/settings.xml
                        -Dmaven.repo.local=${WORK_DIR}/local-repository -Daether.offline.protocols=file
                        -Dravelin.runtime=${runtime} package
                WORKING_DIRECTORY ${with_runtime}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(WRITE ${WORK_DIR}/package-runtime.log "${output}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "mvn package of the example with <runtime> failed (${result}):\n${output}")
endif()
foreach(file runtime/bin/java.exe runtime/bin/javaw.exe)
  if(NOT EXISTS ${with_runtime}/target/Shop/${file})
    message(FATAL_ERROR "the example's build with <runtime> wrote no target/Shop/${file}:\n${output}")
  endif()
endforeach()
file(READ ${with_runtime}/target/Shop/Shop.qel qel)
if(NOT qel MATCHES "qel\\.nl\\.current\\.vm=runtime\\\\bin\\\\javaw\\.exe")
  message(FATAL_ERROR "Shop.qel does not name the runtime:\n${qel}")
endif()
file(ARCHIVE_EXTRACT INPUT ${with_runtime}/target/Shop.zip DESTINATION ${WORK_DIR}/runtime-unzipped)

