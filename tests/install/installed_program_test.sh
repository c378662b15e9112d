#!/usr/bin/env bash
# The install as a user gets it: `cmake --install` into a staging folder
# (DESTDIR) with the prefix /usr, the layout checked, then the installed
# programs run from a folder outside the build tree, as a user with a fresh
# home: cadenza starts offscreen on the installed demo and loads the
# installed plug-ins, cadenza-genwave builds a sequence of the demo,
# cadenza-sim answers --help and --version. Nothing is written into the
# installed folders.
#
#   installed_program_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
root=$(mktemp -d "${TMPDIR:-/tmp}/cadenza-install-XXXXXX")
program=
cleanup() {
  if [ -n "$program" ]; then kill -KILL "$program" 2>/dev/null || true; fi
  rm -rf "$root"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
stage=$root/stage
usr=$stage/usr
DESTDIR=$stage cmake --install "$build" --prefix /usr >"$root/install.log"

# ---- the layout
for f in bin/cadenza bin/cadenza-genwave bin/cadenza-sim; do
  [ -x "$usr/$f" ] || fail "$f is not installed"
done
plugins=()
for so in "$build"/Plugins/*.so; do plugins+=("$(basename "$so")"); done
[ ${#plugins[@]} -ge 5 ] || fail "only ${#plugins[@]} plug-ins in $build/Plugins"
[ "$(cd "$usr/lib/cadenza/plugins" && ls ./*.so | sed 's|^\./||')" = "$(printf '%s\n' "${plugins[@]}")" ] ||
  fail "lib/cadenza/plugins does not hold the build's plug-ins"
desktop-file-validate "$usr/share/applications/cadenza.desktop" || fail "the desktop entry is not valid"
png=$usr/share/icons/hicolor/48x48/apps/cadenza.png
# PNG signature, then the IHDR width and height (big-endian 48, 48).
[ "$(od -An -tx1 -N24 "$png" | tr -d ' \n')" = "89504e470d0a1a0a0000000d4948445200000030""00000030" ] ||
  fail "the 48 px icon is not a 48 x 48 PNG"
xmllint --noout "$usr/share/icons/hicolor/scalable/apps/cadenza.svg" || fail "the scalable icon is no SVG"
cmp -s "$usr/share/cadenza/examples/demo/Projects/Demo.prj" "$(dirname "$0")/../../examples/demo/Projects/Demo.prj" ||
  fail "the demo project is not installed"

# Each program: --version from the project's version, --help exits 0 and
# writes nothing, and the manual page names every option of the help.
work=$root/work
mkdir -p "$work" "$root/home" "$root/run"
chmod 700 "$root/run"
for name in cadenza cadenza-genwave cadenza-sim; do
  [ "$(cd "$work" && "$usr/bin/$name" --version)" = "$name $version" ] || fail "$name --version"
  help=$(cd "$work" && "$usr/bin/$name" --help) || fail "$name --help did not exit 0"
  [ -z "$(ls -A "$work")" ] || fail "$name --help wrote into the working folder"
  page=$(zcat "$usr/share/man/man1/$name.1.gz" | groff -man -Tascii -P-cbou 2>/dev/null)
  grep -q "^NAME" <<<"$page" || fail "$name.1 has no NAME section"
  for option in $(grep -oE -- '--[a-z0-9-]+' <<<"$help" | sort -u); do
    grep -qF -- "$option" <<<"$page" || fail "$name.1 does not name $option"
  done
done

# ---- the installed program on the installed demo, from a folder of the user's
snapshot() { (cd "$stage" && find . -printf '%p %s %T@ %m\n' | sort); }
before=$(snapshot)
demo=$usr/share/cadenza/examples/demo/Projects/Demo.prj
mkdir -p "$root/home/Cadenza"
printf '[PRG]\r\nLastPrj = "%s"\r\n' "$demo" >"$root/home/Cadenza/settings.ini"
(cd "$work" && exec env HOME="$root/home" XDG_RUNTIME_DIR="$root/run" QT_QPA_PLATFORM=offscreen \
  CADENZA_UNATTENDED=1 "$usr/bin/cadenza" --dstartup --no-screen-test >"$root/cadenza.out" 2>"$root/cadenza.err") &
program=$!
for _ in $(seq 1 1200); do
  grep -q -- "--- Startup complete ---" "$root/cadenza.out" 2>/dev/null && break
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
grep -q -- "--- Startup complete ---" "$root/cadenza.out" || fail "no start-up: $(cat "$root/cadenza.err")"
kill -TERM "$program"
status=0
wait "$program" || status=$?
program=
[ "$status" -eq 0 ] || fail "cadenza ended with status $status: $(cat "$root/cadenza.err")"
log=$root/cadenza.err
grep -qF "Searching for plugins under $usr/lib/cadenza/plugins..." "$log" || fail "plug-ins not searched: $(cat "$log")"
for so in "${plugins[@]}"; do
  grep -A1 -F "Found module $usr/lib/cadenza/plugins/$so," "$log" | grep -q "loaded as '" || fail "$so not loaded"
done
grep -qF "Loading project file '$demo'" "$log" || fail "the demo was not loaded"
if grep -qE "Failed to load project|\[message\]" "$log"; then fail "start-up failure: $(cat "$log")"; fi
grep -q "^SavePrjOnExit = " "$root/home/Cadenza/settings.ini" || fail "the settings were not saved in the home"

# ---- one sequence of the installed demo with the installed cadenza-genwave
(cd "$work" && env HOME="$root/home" TMPDIR="$root" "$usr/bin/cadenza-genwave" --project "$demo" --sequence Search \
  --out "$root/out/search.wv" >"$root/genwave.out" 2>&1) || fail "cadenza-genwave: $(cat "$root/genwave.out")"
[ "$(head -c 19 "$root/out/search.wv")" = "{TYPE: Kaldra-WV,0}" ] || fail "no waveform file"
grep -qF "Searching for plugins under $usr/lib/cadenza/plugins..." "$root/genwave.out" ||
  fail "cadenza-genwave did not use the installed plug-ins"
[ "$(cd "$work" && "$usr/bin/cadenza-sim" --help | head -c 26)" = "usage: cadenza-sim --port " ] ||
  fail "cadenza-sim --help"

[ "$(snapshot)" = "$before" ] || fail "the installed folders changed: $(diff <(echo "$before") <(snapshot))"
[ -z "$(ls -A "$work")" ] || fail "the programs wrote into the working folder: $(ls -A "$work")"
echo "installed layout, program, cadenza-genwave and cadenza-sim: ok"
