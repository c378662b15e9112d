#!/usr/bin/env bash
# The Debian package as `make package` makes it (CPack's DEB generator, into
# a folder of its own): its name, its file list (the install's layout under
# /usr, nothing else) and its dependencies (the run-time libraries found by
# dpkg-shlibdeps and the Qt platform plug-ins), each a package apt knows.
#
#   debian_package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
out=$(mktemp -d "${TMPDIR:-/tmp}/cadenza-package-XXXXXX")
trap 'rm -rf "$out"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || fail "cpack: $(cat "$out/cpack.log")"
deb=$out/cadenza_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$out")"

[ "$(dpkg-deb -f "$deb" Package)" = cadenza ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
files=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$' | sort)
expected=$(
  printf '%s\n' ./usr/bin/cadenza ./usr/bin/cadenza-genwave ./usr/bin/cadenza-sim \
    ./usr/share/applications/cadenza.desktop ./usr/share/doc/cadenza/README.md \
    ./usr/share/icons/hicolor/48x48/apps/cadenza.png ./usr/share/icons/hicolor/scalable/apps/cadenza.svg \
    ./usr/share/man/man1/cadenza.1.gz ./usr/share/man/man1/cadenza-genwave.1.gz ./usr/share/man/man1/cadenza-sim.1.gz
  for so in "$build"/Plugins/*.so; do echo "./usr/lib/cadenza/plugins/$(basename "$so")"; done
  (cd "$(dirname "$0")/../../examples" && find demo -type f -printf './usr/share/cadenza/examples/%p\n')
)
[ "$files" = "$(sort <<<"$expected")" ] || fail "file list: $(diff <(sort <<<"$expected") <(echo "$files"))"

# The libraries the programs link, by their Debian packages, and what the
# program loads by name.
depends=$(dpkg-deb -f "$deb" Depends)
names=$(sed 's/([^)]*)//g; s/[|,]/\n/g' <<<"$depends" | tr -d ' ')
for package in libqt6widgets6 libqt6gui6 libqt6core6 libqt6network6 libpugixml1v5 libzip4 libtirpc3 libfftw3-single3 libstdc++6 \
  libc6 qt6-qpa-plugins; do
  grep -qxF "$package" <<<"$names" || fail "Depends lacks $package: $depends"
done
for package in $names; do
  apt-cache show "$package" >/dev/null 2>&1 || fail "Depends names $package, which apt does not know"
done
echo "package $(basename "$deb"): files and dependencies ok"
