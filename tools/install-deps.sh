#!/usr/bin/env bash
# Installs what building and testing the launcher needs on Debian 12. Does nothing
# when everything is there already.
set -euo pipefail

packages=(cmake make g++ g++-mingw-w64-x86-64 wine wine64 xvfb googletest default-jdk junit5
  # The Maven build of the Java side, offline: maven and the plug-ins it runs.
  maven libmaven-resources-plugin-java libmaven-compiler-plugin-java
  # The Maven plug-in: Maven's API to compile it against, and the plug-ins an
  # application's `mvn package` runs before it.
  libmaven3-core-java libmaven-plugin-tools-java libmaven-jar-plugin-java libsurefire-java
  # Signing the Maven artifacts for Maven Central (and its test's throw-away key).
  gnupg
  # Signing the launchers (and its test's throw-away certificate).
  osslsigncode openssl
  # Windows Installer packages from any build machine, and reading them back.
  wixl msitools)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
