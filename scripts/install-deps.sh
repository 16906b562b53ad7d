#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, when some are missing.
# Does nothing when everything is present. Installing needs root; without it the missing
# packages are listed and the script fails.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libxml2-dev libxslt1-dev libcurl4-openssl-dev libssl-dev openssl
  libncurses-dev libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev
  # clang and the libFuzzer runtime for the fuzzing build (make fuzz).
  clang libclang-rt-14-dev
  # Apache Tomcat 10 for the tomcat monitor type's integration test.
  tomcat10 tomcat10-admin
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "feedprobe needs these Debian packages: ${missing[*]}" >&2
  echo "Install them as root (apt-get install ${missing[*]}) or run this script as root." >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y --no-install-recommends "${missing[@]}" ||
  { apt-get update && apt-get install -y --no-install-recommends "${missing[@]}"; }
