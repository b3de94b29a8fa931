# The signatures of a release for Maven Central: maven_sign.cmake, which the
# build runs when QEL_GPG_KEY names a key, signs each artifact of the library in
# the build's Maven repository with a throw-away key, and gpg verifies each
# signature against its artifact, and refuses it for an artifact changed after.
#   cmake -DGPG=<gpg> -DREPOSITORY=<the build's maven dir> -DGROUP_PATH=<org/...>
#         -DARTIFACT=<artifactId> -DVERSION=<version> -DSCRIPT=<maven_sign.cmake>
#         -DWORK_DIR=<dir> -P signatures.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
# A GnuPG home of its own, with a short path: gpg's agent puts its socket there.
execute_process(COMMAND mktemp -d /tmp/qel-gpg.XXXXXX OUTPUT_VARIABLE home OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "no temporary GnuPG home")
endif()

function(gpg_run)
  execute_process(COMMAND ${GPG} --homedir ${home} --batch ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out
    ERROR_VARIABLE err)
  set(gpg_result ${result} PARENT_SCOPE)
  set(gpg_output "${out}${err}" PARENT_SCOPE)
endfunction()

function(finish message)
  execute_process(COMMAND gpgconf --homedir ${home} --kill gpg-agent)
  file(REMOVE_RECURSE ${home})
  if(message)
    message(FATAL_ERROR "${message}")
  endif()
endfunction()

gpg_run(--passphrase "" --quick-generate-key "Ravelin test <test@example.invalid>" ed25519 sign never)
if(NOT gpg_result EQUAL 0)
  finish("gpg could not make a throw-away key: ${gpg_output}")
endif()
gpg_run(--list-keys --with-colons)
string(REGEX MATCH "fpr:::::::::([0-9A-F]+):" fingerprint_line "${gpg_output}")
set(fingerprint ${CMAKE_MATCH_1})
if(NOT fingerprint)
  finish("no fingerprint of the throw-away key in: ${gpg_output}")
endif()

# Copies of the artifacts, so that the build's repository stays as the build made it.
set(base ${REPOSITORY}/${GROUP_PATH}/${ARTIFACT}/${VERSION}/${ARTIFACT}-${VERSION})
set(files)
foreach(suffix .jar .pom -sources.jar -javadoc.jar)
  if(NOT EXISTS ${base}${suffix})
    finish("the build made no ${base}${suffix}")
  endif()
  file(COPY ${base}${suffix} DESTINATION ${WORK_DIR})
  list(APPEND files ${WORK_DIR}/${ARTIFACT}-${VERSION}${suffix})
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -DGPG=${GPG} -DKEY=${fingerprint} -DHOME=${home} "-DFILES=${files}"
  -P ${SCRIPT} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  finish("maven_sign.cmake failed: ${out}${err}")
endif()
foreach(file IN LISTS files)
  if(NOT EXISTS ${file}.asc)
    finish("no signature ${file}.asc")
  endif()
  file(READ ${file}.asc signature)
  if(NOT signature MATCHES "^-----BEGIN PGP SIGNATURE-----")
    finish("${file}.asc is no ASCII-armoured signature")
  endif()
  gpg_run(--verify ${file}.asc ${file})
  if(NOT gpg_result EQUAL 0 OR NOT gpg_output MATCHES "Good signature from \"Ravelin test")
    finish("gpg does not verify ${file}.asc: ${gpg_output}")
  endif()
  # A signature holds for the bytes signed only.
  file(APPEND ${file} " ")
  gpg_run(--verify ${file}.asc ${file})
  if(gpg_result EQUAL 0)
    finish("gpg verifies ${file}.asc for a changed ${file}")
  endif()
endforeach()

# A key gpg does not have fails the signing, naming the key.
execute_process(COMMAND ${CMAKE_COMMAND} -DGPG=${GPG} -DKEY=0000000000000000DEADBEEF0000000000000000 -DHOME=${home}
  "-DFILES=${WORK_DIR}/${ARTIFACT}-${VERSION}.pom" -P ${SCRIPT} RESULT_VARIABLE result OUTPUT_VARIABLE out
  ERROR_VARIABLE err)
if(result EQUAL 0 OR NOT "${out}${err}" MATCHES "could not sign[^:]*0000000000000000DEADBEEF0000000000000000")
  finish("signing with a key gpg does not have did not fail as it should: ${out}${err}")
endif()
finish("")
