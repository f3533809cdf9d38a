#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR, validates what it installed, starts the installed
# program offscreen under a temporary HOME, then builds the Debian package and inspects it.
# Usage: install_test.sh <build folder>. Exit 77: skipped (a tool is missing).
set -euo pipefail
build=$(cd "$1" && pwd)
for tool in desktop-file-validate appstreamcli cpack dpkg-deb lintian; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (scripts/install-deps.sh test)"; exit 77; }
done
work=$(mktemp -d)
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

dest=$work/dest
DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
for f in bin/ferrystar share/ferrystar/help.html share/man/man1/ferrystar.1.gz \
  share/icons/hicolor/scalable/apps/ferrystar.svg share/icons/hicolor/48x48/apps/ferrystar.png \
  share/applications/com.quillmoor.Ferrystar.desktop share/metainfo/com.quillmoor.Ferrystar.metainfo.xml; do
  [ -s "$dest/usr/$f" ] || fail "not installed: /usr/$f"
done
desktop-file-validate "$dest"/usr/share/applications/*.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net "$dest"/usr/share/metainfo/*.xml || fail "appstreamcli validate"

# The installed program cannot write beside itself: it must make the per-user folders.
home=$work/home
mkdir -p "$home"
chmod a-w "$dest/usr/bin"
env -u XDG_CONFIG_HOME -u XDG_STATE_HOME HOME="$home" QT_QPA_PLATFORM=offscreen \
  "$dest/usr/bin/ferrystar" >"$work/program.out" 2>&1 &
program_pid=$!
for _ in $(seq 1 300); do
  [ -d "$home/.local/state/ferrystar" ] && break
  kill -0 "$program_pid" 2>/dev/null || { cat "$work/program.out"; fail "the installed program ended at start"; }
  sleep 0.1
done
chmod u+w "$dest/usr/bin"
for d in .config/ferrystar .local/state/ferrystar; do
  [ "$(stat -c %a "$home/$d")" = 700 ] || fail "$d is missing or not 0700"
done
[ ! -e "$dest/usr/bin/servers.sit" ] || fail "the program wrote beside its executable"
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
program_pid=""

# The Debian package: built, its control and contents inspected, and no lintian error.
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(ls "$work"/ferrystar_*.deb)
info=$(dpkg-deb -I "$deb")
contents=$(dpkg-deb -c "$deb")
grep -q "Depends:.*libqt6widgets6" <<<"$info" || fail "no Qt dependency from dpkg-shlibdeps"
grep -q "\./usr/bin/ferrystar$" <<<"$contents" || fail "the package holds no program"
grep -q "\./usr/share/ferrystar/help.html$" <<<"$contents" || fail "the package holds no help page"
lintian --no-tag-display-limit "$deb" >"$work/lintian.txt" 2>&1 || true
cat "$work/lintian.txt"
if grep -q '^E:' "$work/lintian.txt"; then fail "lintian reports errors"; fi
echo "PASS"
