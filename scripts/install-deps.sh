#!/usr/bin/env bash
# Installs the Debian 12 packages one use of the project needs, and nothing else:
#   scripts/install-deps.sh run     build and run the program
#   scripts/install-deps.sh demo    the above, and the demo's FTP server and picture maker
#   scripts/install-deps.sh docs    the above, the tests' packages, and the X server the screenshots use
#   scripts/install-deps.sh test    the above, and the tests' servers and tools
#   scripts/install-deps.sh bench   the above, and the benchmarks' reference clients
# Does nothing when every package is present. Creates no account and changes no configuration.
# Debian would start vsftpd and ftp-proxy as services listening on every address as soon as they
# are installed: the tests start their own on 127.0.0.1, so while this script installs them it
# keeps services from starting (policy-rc.d), and it disables only the services it installed in
# this same run. A service that was there before is left as it was.
set -euo pipefail
use=${1:-run}
run_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl1-mesa-dev libjpeg-dev fonts-dejavu-core
)
test_packages=(
  googletest libgtest-dev libgmock-dev
  vsftpd libpam-pwdfile python3 python3-pyftpdlib ftp-proxy imagemagick
  desktop-file-utils appstream lintian dpkg-dev
)
demo_packages=(python3 python3-pyftpdlib imagemagick)
docs_packages=(xvfb xauth)
bench_packages=(curl lftp xvfb xauth)
case "$use" in
  run) packages=("${run_packages[@]}") ;;
  demo) packages=("${run_packages[@]}" "${demo_packages[@]}") ;;
  docs) packages=("${run_packages[@]}" "${demo_packages[@]}" "${test_packages[@]}" "${docs_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  bench) packages=("${run_packages[@]}" "${test_packages[@]}" "${bench_packages[@]}") ;;
  *)
    echo "usage: $0 run|demo|docs|test|bench" >&2
    exit 2
    ;;
esac

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
services=()
for svc in vsftpd ftp-proxy; do
  [[ " ${missing[*]} " == *" $svc "* ]] && services+=("$svc")
done
policy=/usr/sbin/policy-rc.d
if [ ${#services[@]} -gt 0 ] && [ ! -e "$policy" ]; then
  printf '#!/bin/sh\n# Written by Ferrystar scripts/install-deps.sh while it installs; removed after.\nexit 101\n' |
    $SUDO tee "$policy" >/dev/null
  $SUDO chmod 755 "$policy"
  trap '$SUDO rm -f "$policy"' EXIT
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
for svc in "${services[@]}"; do
  $SUDO systemctl disable --now "$svc" >/dev/null 2>&1 || $SUDO service "$svc" stop >/dev/null 2>&1 || true
done
