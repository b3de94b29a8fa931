cmake_minimum_required(VERSION 3.20)
# Builds the Windows Installer packages that installer.under_wine installs, and
# reads their tables back with msiinfo:
#   app/Shop            the example application on a runtime of JVM bridges:
#                       Shop-1.0.0.msi, Shop-1.1.0.msi (one file more), both
#                       with the extension .shopdoc, Shop-user-1.0.0.msi (per
#                       user), and Shop-desktop-1.0.0.msi with a desktop
#                       shortcut, only read back (Wine's desktop folder is the
#                       user's home, outside the prefix)
#   service/ShopSvc     the launcher's service ShopSvc, started when installed,
#                       whose VM is a stand-in that runs until stopped
# and checks that a package built twice is the same, and that one signed with a
# throw-away certificate verifies.

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command} failed with ${code}:\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

function(installer folder output)
  run(${JAVA} -jar ${PACKAGER} installer --folder ${folder} --output ${output} ${ARGN})
  if(NOT run_output MATCHES "built with msitools' wixl")
    message(FATAL_ERROR "the packager did not say which tool it used:\n${run_output}")
  endif()
endfunction()

# The rows of a table of a package, one string per row (tabs as '|').
function(table package name out)
  run(${MSIINFO} export ${package} ${name})
  string(REPLACE ";" "<semicolon>" text "${run_output}")
  string(REPLACE "\t" "|" text "${text}")
  string(REPLACE "\r" "" text "${text}")
  string(REPLACE "\n" ";" rows "${text}")
  list(REMOVE_AT rows 0 1 2)  # the column names, their types and the table's name
  list(FILTER rows EXCLUDE REGEX "^$")
  set(${out} "${rows}" PARENT_SCOPE)
endfunction()

function(expect_row package name pattern)
  table(${package} ${name} rows)
  foreach(row IN LISTS rows)
    if(row MATCHES "${pattern}")
      return()
    endif()
  endforeach()
  list(JOIN rows "\n  " text)
  message(FATAL_ERROR "${package}: no row of ${name} matches ${pattern}; its rows:\n  ${text}")
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(app ${WORK_DIR}/app/Shop)
file(MAKE_DIRECTORY ${app}/lib ${app}/logs ${app}/runtime/bin)
file(COPY_FILE ${LAUNCHER} ${app}/Shop.exe)
file(COPY_FILE ${BRIDGE} ${app}/runtime/bin/javaw.exe)
file(COPY_FILE ${BRIDGE} ${app}/runtime/bin/java.exe)
file(COPY_FILE ${JAVA_JAR} ${app}/lib/ravelin-java.jar)
file(COPY_FILE ${EXAMPLE_JAR} ${app}/lib/hello.jar)
file(WRITE ${app}/Shop.qel
  "qel.application.name=Shop\r\n"
  "qel.nl.java.launcher.main.class=org.ravelin.launcher.RavelinMain\r\n"
  "qel.application.main.class=hello.Main\r\n"
  "qel.class.path=lib\\\\ravelin-java.jar;lib\\\\hello.jar\r\n"
  "qel.stderr.redirect=logs/hello.log\r\n"
  "qel.nl.current.vm=runtime\\\\bin\\\\javaw.exe\r\n"
  "qel.nl.valid.vm.list=J2\r\n")
set(common --name Shop --manufacturer "Example Shops Ltd" --description "The example shop" --timestamp 1700000000)
installer(${app} ${WORK_DIR}/Shop-1.0.0.msi --version 1.0.0 --upgrade-seed com.example:shop ${common}
  --associate .shopdoc)
installer(${app} ${WORK_DIR}/Shop-desktop-1.0.0.msi --version 1.0.0 --upgrade-seed com.example:shop ${common}
  --desktop-shortcut)
installer(${app} ${WORK_DIR}/Shop-user-1.0.0.msi --version 1.0.0 --upgrade-seed com.example:shop-user ${common}
  --per-user)
# The same inputs give the same package.
installer(${app} ${WORK_DIR}/again/Shop-1.0.0.msi --version 1.0.0 --upgrade-seed com.example:shop ${common}
  --associate .shopdoc)
file(SHA256 ${WORK_DIR}/Shop-1.0.0.msi first)
file(SHA256 ${WORK_DIR}/again/Shop-1.0.0.msi second)
if(NOT first STREQUAL second)
  message(FATAL_ERROR "two builds of Shop-1.0.0.msi from the same inputs differ")
endif()
file(WRITE ${app}/whats-new-1.1.txt "What is new in 1.1\r\n")
installer(${app} ${WORK_DIR}/Shop-1.1.0.msi --version 1.1.0-SNAPSHOT --upgrade-seed com.example:shop ${common}
  --associate .shopdoc)

set(svc ${WORK_DIR}/service/ShopSvc)
file(MAKE_DIRECTORY ${svc}/runtime/bin ${svc}/lib)
file(COPY_FILE ${LAUNCHER} ${svc}/ShopSvc.exe)
file(COPY_FILE ${STANDIN} ${svc}/runtime/bin/javaw.exe)
file(WRITE ${svc}/runtime/bin/javaw.standin "QEL_STANDIN_SLEEP_MS=infinite\n")
file(COPY_FILE ${JAVA_JAR} ${svc}/lib/ravelin-java.jar)
file(WRITE ${svc}/ShopSvc.qel
  "qel.nl.java.launcher.main.class=shop.Service\r\n"
  "qel.class.path=lib\\\\ravelin-java.jar\r\n"
  "qel.nl.current.vm=runtime\\\\bin\\\\javaw.exe\r\n"
  "qel.nl.valid.vm.list=J2\r\n"
  "qel.service.display.name=Example Shop Service\r\n"
  "qel.service.description=Serves the example shop\r\n"
  "qel.service.start=auto\r\n"
  "qel.service.dependencies=RpcSs\r\n")
installer(${svc} ${WORK_DIR}/ShopSvc-2.0.0.msi --version 2.0.0 --upgrade-seed com.example:shop-service
  --service ShopSvc --timestamp 1700000000)

# The tables, read back.
set(msi ${WORK_DIR}/Shop-1.0.0.msi)
run(${MSIINFO} tables ${msi})
foreach(name File Component Shortcut Registry Upgrade Icon Directory CreateFolder)
  if(NOT run_output MATCHES "(^|\n)${name}\n")
    message(FATAL_ERROR "${msi} has no table ${name}:\n${run_output}")
  endif()
endforeach()
table(${msi} File files)
list(LENGTH files count)
if(NOT count EQUAL 6)
  list(JOIN files "\n  " text)
  message(FATAL_ERROR "${msi}: expected 6 files (Shop.exe, Shop.qel, 2 jars, 2 runtime programs), got:\n  ${text}")
endif()
expect_row(${msi} File "\\|Shop.exe\\|")
expect_row(${msi} File "\\|javaw.exe\\|")
expect_row(${msi} Directory "^INSTALLDIR\\|ProgramFiles64Folder\\|Shop$")
expect_row(${msi} Shortcut "^StartMenuShortcut\\|ProgramMenuFolder\\|Shop\\|")
expect_row(${WORK_DIR}/Shop-desktop-1.0.0.msi Shortcut "^DesktopShortcut\\|DesktopFolder\\|Shop\\|")
expect_row(${msi} Registry "\\|\\.shopdoc\\|\\|Shop\\.shopdoc\\|")
expect_row(${msi} Registry "\\|Shop\\.shopdoc.shell.open.command\\|\\|\"\\[#f[0-9a-f]+\\]\" \"%1\"\\|")
expect_row(${msi} Upgrade "^\\{[0-9A-F-]+\\}\\|\\|1\\.0\\.0\\|")
expect_row(${msi} Property "^ARPPRODUCTICON\\|ProgramIcon.exe$")
expect_row(${msi} Property "^Manufacturer\\|Example Shops Ltd$")
expect_row(${msi} Property "^ProductVersion\\|1\\.0\\.0$")
expect_row(${WORK_DIR}/Shop-1.1.0.msi Property "^ProductVersion\\|1\\.1\\.0$")
expect_row(${WORK_DIR}/Shop-user-1.0.0.msi Directory "^UserPrograms\\|LocalAppDataFolder\\|Programs$")
run(${MSIINFO} suminfo ${msi})
if(NOT run_output MATCHES "Created: [A-Za-z]+ Nov 14 [0-9:]+ 2023")
  message(FATAL_ERROR "${msi}: the summary information does not carry the build's time:\n${run_output}")
endif()

set(msi ${WORK_DIR}/ShopSvc-2.0.0.msi)
expect_row(${msi} ServiceInstall "^Service\\|ShopSvc\\|Example Shop Service\\|16\\|2\\|1\\|\\|RpcSs\\[~\\]\\[~\\]\\|LocalSystem\\|\\|-kwqelservice ShopSvc\\|")
expect_row(${msi} ServiceControl "^ServiceControl\\|ShopSvc\\|163\\|")
expect_row(${msi} Registry "\\|SYSTEM.CurrentControlSet.Services.EventLog.Application.ShopSvc.?\\|EventMessageFile\\|\\[#f[0-9a-f]+\\]\\|")

# A package is signed like the executables.
if(OSSLSIGNCODE AND OPENSSL)
  run(${OPENSSL} req -x509 -newkey rsa:2048 -nodes -subj "/CN=Example Shops Ltd" -days 2
      -keyout ${WORK_DIR}/key.pem -out ${WORK_DIR}/cert.pem)
  file(MAKE_DIRECTORY ${WORK_DIR}/signed)
  run(${OSSLSIGNCODE} sign -certs ${WORK_DIR}/cert.pem -key ${WORK_DIR}/key.pem -n Shop
      -in ${WORK_DIR}/Shop-1.0.0.msi -out ${WORK_DIR}/signed/Shop-1.0.0.msi)
  run(${OSSLSIGNCODE} verify -CAfile ${WORK_DIR}/cert.pem -in ${WORK_DIR}/signed/Shop-1.0.0.msi)
endif()
message(STATUS "packages built and read back in ${WORK_DIR}")
