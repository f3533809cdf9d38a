#!/usr/bin/env bash
# Installs every Debian package the program, its tests and its benchmarks need.
# Idempotent: does nothing when all of them are present.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl1-mesa-dev libjpeg-dev
  googletest libgtest-dev libgmock-dev
  vsftpd python3 python3-pyftpdlib ftp-proxy curl socat
  xvfb xauth imagemagick adwaita-icon-theme fonts-dejavu-core
)
# The local account that the test FTP servers log in with (vsftpd checks it through PAM, so it needs
# a real password and a shell listed in /etc/shells). Its home "/" exists everywhere: vsftpd changes
# into the home before the served folder. Tests and CI run as root; elsewhere this is skipped.
if [ "$(id -u)" -eq 0 ] && ! getent passwd ferrytest >/dev/null; then
  useradd --no-create-home --home-dir / --shell /bin/sh ferrytest
  echo 'ferrytest:Ferry-Test-7' | chpasswd
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
# The packaged servers must not run as system services: the tests start their own.
for svc in vsftpd ftp-proxy; do
  $SUDO systemctl disable --now "$svc" >/dev/null 2>&1 || true
  $SUDO service "$svc" stop >/dev/null 2>&1 || true
done
