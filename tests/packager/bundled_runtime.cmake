# The example application with a Java runtime in its folder, as the packager's
# runtime command lays one out (cmake -P, at build time). Under OUT:
#   jre-17/       a Windows runtime whose bin\java.exe and bin\javaw.exe are the
#                 JVM bridge (which runs this machine's Java)
#   jdk-17/       a Windows JDK as the packager sees one: bin\java.exe, the
#                 release file and the jmods of this machine's JDK (JDK_HOME)
#   bridged/      Hello/ with jre-17 copied in as runtime\, and Hello.zip
#   unzipped/     Hello.zip of bridged/ unpacked
#   trimmed/      Hello/ with a runtime linked from jdk-17's jmods, and the
#                 bridge added to it, which runs the image's own bin/java
# Inputs: JAVA, PACKAGER_JAR, JDK_HOME, BRIDGE, LAUNCHER, EXAMPLE_QEL,
# EXAMPLE_JAR, RAVELIN_JAR, OUT.

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT}/jre-17/bin ${OUT}/jdk-17/bin)
foreach(program java.exe javaw.exe)
  file(COPY_FILE ${BRIDGE} ${OUT}/jre-17/bin/${program})
endforeach()
file(COPY_FILE ${JDK_HOME}/release ${OUT}/jre-17/release)
file(COPY_FILE ${BRIDGE} ${OUT}/jdk-17/bin/java.exe)
file(COPY_FILE ${JDK_HOME}/release ${OUT}/jdk-17/release)
file(CREATE_LINK ${JDK_HOME}/jmods ${OUT}/jdk-17/jmods SYMBOLIC)

function(example folder)
  file(MAKE_DIRECTORY ${folder}/lib ${folder}/logs)
  file(COPY_FILE ${LAUNCHER} ${folder}/Hello.exe)
  file(COPY_FILE ${EXAMPLE_QEL} ${folder}/Hello.qel)
  file(COPY_FILE ${EXAMPLE_JAR} ${folder}/lib/hello.jar)
  file(COPY_FILE ${RAVELIN_JAR} ${folder}/lib/ravelin-java.jar)
endfunction()

function(packager)
  execute_process(COMMAND ${JAVA} -jar ${PACKAGER_JAR} runtime ${ARGN} RESULT_VARIABLE code)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "the packager's runtime command failed (${code})")
  endif()
endfunction()

example(${OUT}/bridged/Hello)
packager(--program ${OUT}/bridged/Hello --from ${OUT}/jre-17 --zip ${OUT}/bridged/Hello.zip)
file(ARCHIVE_EXTRACT INPUT ${OUT}/bridged/Hello.zip DESTINATION ${OUT}/unzipped)
file(MAKE_DIRECTORY ${OUT}/unzipped/Hello/logs)

example(${OUT}/trimmed/Hello)
packager(--program ${OUT}/trimmed/Hello --from ${OUT}/jdk-17 --jlink ${JDK_HOME}/bin/jlink
         --zip ${OUT}/trimmed/Hello.zip)
foreach(program java.exe javaw.exe)
  file(COPY_FILE ${BRIDGE} ${OUT}/trimmed/Hello/runtime/bin/${program})
endforeach()
file(TOUCH ${OUT}/stamp)
