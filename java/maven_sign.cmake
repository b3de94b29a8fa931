# Writes <file>.asc beside each file given: an ASCII-armoured detached signature
# made by gpg with the key given, as Maven Central requires of every artifact
# (jar, sources, javadoc, POM).
#   cmake -DGPG=<gpg> -DKEY=<key id or fingerprint> [-DHOME=<GnuPG home>]
#         [-DPASSPHRASE_FILE=<file>] -DFILES=<file;...> -P maven_sign.cmake
# Without a passphrase file, gpg asks its agent, which knows the passphrase or
# asks the user; with one, it reads the passphrase from it (loopback).
if(NOT GPG OR NOT KEY)
  message(FATAL_ERROR "maven_sign.cmake needs GPG (the gpg program) and KEY (the key to sign with)")
endif()
set(options --batch --yes --armor --detach-sign --local-user ${KEY})
if(HOME)
  list(PREPEND options --homedir ${HOME})
endif()
if(PASSPHRASE_FILE)
  list(APPEND options --pinentry-mode loopback --passphrase-file ${PASSPHRASE_FILE})
endif()
foreach(file IN LISTS FILES)
  execute_process(COMMAND ${GPG} ${options} --output ${file}.asc ${file}
    RESULT_VARIABLE result ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    file(REMOVE ${file}.asc)
    message(FATAL_ERROR "gpg could not sign ${file} with the key ${KEY}: ${errors}")
  endif()
endforeach()
