#!/usr/bin/env bash
# Builds the Debian package and shows that it installs: the package's declared dependencies, its
# files unpacked into a scratch root (dpkg -x), each program and manual page in its place, and
# zav-cli --help run from there. As root with apt at hand and --apt given, the package is also
# installed for real with apt-get (its dependencies from the archive).
# Usage: scripts/check-package.sh [--apt]
# Builds into build-package/ without tests, or into the build folder named by ZAV_PACKAGE_BUILD as
# it is already configured.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ZAV_PACKAGE_BUILD:-build-package}

bash scripts/install-deps.sh
if [ -z "${ZAV_PACKAGE_BUILD:-}" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAV_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target zav-interface zav-cli zav-meter-sim >/dev/null
if ! (cd "$build" && cpack -G DEB >cpack.log 2>&1); then
  cat "$build/cpack.log" >&2
  exit 1
fi
deb=$(realpath "$(ls -t "$build"/zav-interface_*.deb | head -n 1)")
echo "package: $deb"

fail() {
  echo "check-package: $*" >&2
  exit 1
}

info=$(dpkg-deb -I "$deb")
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
echo "depends: $depends"
for lib in libqt6core6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins; do
  grep -q "$lib" <<<"$depends" || fail "the package does not depend on $lib"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
expected=(
  usr/bin/zav-interface usr/bin/zav-cli usr/bin/zav-meter-sim
  usr/share/applications/zav-interface.desktop
  usr/share/icons/hicolor/scalable/apps/zav-interface.svg
  usr/share/man/man1/zav-interface.1 usr/share/man/man1/zav-cli.1 usr/share/man/man1/zav-meter-sim.1
)
for f in "${expected[@]}"; do
  [ -e "$root/$f" ] || fail "$f is missing from the package"
done
# Nothing else among the programs: no tests, benches or screenshot writer.
extra=$(ls "$root/usr/bin" | grep -vxE 'zav-interface|zav-cli|zav-meter-sim' || true)
[ -z "$extra" ] || fail "unexpected programs in the package: $extra"
grep -qx 'Name=ZAV Instrument Interface' "$root/usr/share/applications/zav-interface.desktop" ||
  fail "the desktop entry has no Name=ZAV Instrument Interface"
if command -v groff >/dev/null; then
  for page in "$root"/usr/share/man/man1/*.1; do
    [ -z "$(LC_ALL=C groff -man -ww -z "$page" 2>&1)" ] || fail "$(basename "$page") has roff warnings"
  done
fi
"$root/usr/bin/zav-cli" --help | grep -q '^Usage: zav-cli' || fail "zav-cli --help does not run from the package"
"$root/usr/bin/zav-meter-sim" --help >/dev/null || fail "zav-meter-sim --help does not run from the package"
echo "unpacked into a scratch root: ${#expected[@]} files in place, zav-cli --help runs"

if [ "${1:-}" = "--apt" ] && [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >"$root/apt.log" 2>&1 ||
    { cat "$root/apt.log" >&2; fail "apt-get could not install the package"; }
  zav-cli --help | grep -q '^Usage: zav-cli' || fail "zav-cli --help does not run once installed"
  echo "installed with apt-get: $(dpkg-query -W -f='${Package} ${Version} ${Status}' zav-interface)"
fi
echo "package check passed"
