cmake_minimum_required(VERSION 3.20)
# Signs a launcher as a release does, with a throw-away certificate made here
# (no time-stamp server: the test needs no network), verifies the signature with
# the certificate as the only trusted root, and runs the signed program under
# Wine: beside no properties file, the console launcher ends with code 102 and
# says so on standard error.
#   cmake -DOPENSSL=<openssl> -DOSSLSIGNCODE=<osslsigncode> -DINPUT=<console launcher> -DNAME=<file name>
#         "-DRUN=<emulator command, empty on Windows>" -DWORK_DIR=<dir> -P sign_and_run.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/unsigned ${WORK_DIR}/signed)

function(run)
  cmake_parse_arguments(RUN "" "OUTPUT" "" ${ARGN})
  execute_process(COMMAND ${RUN_UNPARSED_ARGUMENTS} RESULT_VARIABLE result OUTPUT_VARIABLE output
                  ERROR_VARIABLE output WORKING_DIRECTORY ${WORK_DIR})
  if(NOT result EQUAL 0)
    string(REPLACE ";" " " command "${RUN_UNPARSED_ARGUMENTS}")
    message(FATAL_ERROR "${command} failed (${result}):\n${output}")
  endif()
  if(RUN_OUTPUT)
    set(${RUN_OUTPUT} "${output}" PARENT_SCOPE)
  endif()
endfunction()

set(subject "/CN=Ravelin signing test/O=Ravelin")
run(${OPENSSL} req -x509 -newkey rsa:2048 -nodes -subj ${subject} -days 2
    -keyout ${WORK_DIR}/k.pem -out ${WORK_DIR}/c.pem)

set(unsigned ${WORK_DIR}/unsigned/${NAME})
set(signed ${WORK_DIR}/signed/${NAME})
run(${CMAKE_COMMAND} -E copy ${INPUT} ${unsigned})
run(${OSSLSIGNCODE} sign -certs ${WORK_DIR}/c.pem -key ${WORK_DIR}/k.pem -n "Shop" -h sha256
    -in ${unsigned} -out ${signed})

# The signature verifies against the certificate, and names its signer.
run(${OSSLSIGNCODE} verify -CAfile ${WORK_DIR}/c.pem -in ${signed} OUTPUT verified)
foreach(expected "Signature verification: ok" "CN=Ravelin signing test")
  string(FIND "${verified}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "osslsigncode verify does not report \"${expected}\":\n${verified}")
  endif()
endforeach()
# The program as built carries no signature: the check above is the signing's.
execute_process(COMMAND ${OSSLSIGNCODE} verify -CAfile ${WORK_DIR}/c.pem -in ${unsigned}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "the unsigned ${NAME} verifies as signed:\n${output}")
endif()

# The signed program runs: no properties file beside it, so code 102 and the
# message on standard error.
execute_process(COMMAND ${RUN} ${signed} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err
                WORKING_DIRECTORY ${WORK_DIR}/signed)
set(expected_err "The Ravelin properties file is missing\n")
if(NOT code STREQUAL "102" OR NOT err STREQUAL expected_err)
  message(FATAL_ERROR "the signed ${NAME} ended with ${code} (not 102), standard error:\n[${err}]\n"
                      "standard output:\n[${out}]")
endif()
message(STATUS "${NAME} signed, verified and run")
