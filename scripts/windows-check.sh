#!/usr/bin/env bash
# The kit on Windows, checked from Linux: cross-builds build-win with
# mingw-w64, runs its unit tests under Wine in a throw-away prefix, builds the
# sample adventure with kiln.exe (adventures folder from the registry) and
# with the Linux kiln, and requires the two output trees to be byte for byte
# the same (reports that kiln writes in text mode, *.txt, may differ only in
# their Windows line ends); unkiln.exe must extract and preview the sample to
# the same files as unkiln; vitals.exe must print what the Linux vitals prints.
#
# Needs: cmake, g++, g++-mingw-w64-x86-64, googletest, libz-mingw-w64-dev, wine, wine64.
# KIT_JOBS sets the build's parallel jobs (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${KIT_JOBS:-2}
epoch=1700000000  # any fixed date: both builds must stamp the same one

say() { printf '== %s\n' "$*"; }

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); printf 'FAILED: %s\n' "$*"; }

say "cross-building build-win"
cmake -S . -B build-win --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-win -j"$jobs"

say "static linking"
# A program for a bare Windows machine may only need the system's own DLLs,
# not the compiler's runtime (libstdc++, libgcc, libwinpthread).
for exe in build-win/bin/*.exe; do
  if x86_64-w64-mingw32-objdump -p "$exe" | grep -i 'DLL Name:' | grep -v -i -E \
      'DLL Name: (kernel32|msvcrt|advapi32|comdlg32|shell32|ole32|user32|gdi32)\.dll'; then
    fail "$(basename "$exe") needs a DLL that a bare Windows machine lacks"
  else
    pass
  fi
done

say "building the Linux kit and its sample"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs" --target kiln vitals unkiln
log=$(mktemp)
env -u AdventuresPath SOURCE_DATE_EPOCH=$epoch cmake --build build --target sample >"$log" 2>&1 || { cat "$log"; exit 1; }
rm -f "$log"

# Wine: a prefix of its own, no windows (no display, no Mono or Gecko
# installer dialogs), no debug chatter.
work=$(mktemp -d "${TMPDIR:-/tmp}/kit-windows-XXXXXX")
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY AdventuresPath
export TMIIDEV=1  # a failing program ends at once instead of waiting for ENTER
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$WINEPREFIX"
say "preparing a Wine prefix"
# Wine names a prefix's server after the folder's device and inode: a server
# left by a removed prefix whose inode the new folder took must not serve it.
wineserver -k >/dev/null 2>&1 || true
wineboot -i </dev/null >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
wineserver -w

# Runs a test program under Wine. Wine's own link to its server can drop
# ("wine client error"), which says nothing of the program: it is run once
# more on a fresh server.
wine_tests() {
  wine "$1" </dev/null >"$2" 2>&1 && return 0
  grep -q '^wine client error' "$2" || return 1
  cat "$2"
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  wine "$1" </dev/null >"$2" 2>&1
}

say "unit tests under Wine"
for exe in build-win/bin/*_tests.exe; do
  log=$work/$(basename "$exe").log
  if wine_tests "$exe" "$log"; then
    n=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$log" | tail -1)
    passed=$((passed + ${n:-0}))
    printf '%s: %s tests passed\n' "$(basename "$exe")" "${n:-0}"
  else
    cat "$log"
    fail "$(basename "$exe")"
  fi
done

say "advpath.exe without a stored adventures folder"
set +e
out=$(wine build-win/bin/advpath.exe </dev/null 2>&1 | tr -d '\r'; exit "${PIPESTATUS[0]}")
status=$?
set -e
expected=$'Can\'t find AdventuresPath in registry\nare you sure you installed DEZARED correctly?\n  set it with: advpath -init FOLDER (or the AdventuresPath environment variable)'
if [ "$out" = "$expected" ] && [ $status -eq 1 ]; then pass; else fail "advpath.exe (status $status) printed: $out"; fi

say "sample adventure with kiln.exe"
mkdir "$work/sample"
cp -R examples/. "$work/sample/"
winSample=$(winepath -w "$work/sample")
wine reg add 'HKLM\Software\Brindlewood\DEZARED\Config' /v AdventuresPath /d "$winSample" /f /reg:64 >/dev/null
# The options of the sample target, less -fs: paths in the configuration are
# written the Windows way.
options=$(sed -n 's/.*\$<TARGET_FILE:kiln>\(.*\) \${CMAKE_BINARY_DIR}\/sample\/Quest\/pdbs\.cfg.*/\1/p' CMakeLists.txt)
[ -n "$options" ] || { echo "no kiln command line found in the sample target of CMakeLists.txt"; exit 1; }
options=$(printf '%s\n' $options | { grep -v -x -e -fs || true; } | tr '\n' ' ')
printf 'kiln.exe %s%s\n' "$options" "$winSample\\Quest\\pdbs.cfg"
# shellcheck disable=SC2086  # the options are separate words
if (cd "$work/sample" && SOURCE_DATE_EPOCH=$epoch wine "$root/build-win/bin/kiln.exe" $options "$winSample\\Quest\\pdbs.cfg" \
      </dev/null >"$work/kiln.log" 2>&1); then
  pass
else
  cat "$work/kiln.log"
  fail "kiln.exe on the sample adventure"
fi

say "comparing the output trees"
linux=build/sample
count=0
while IFS= read -r rel; do
  count=$((count + 1))
  if [ ! -f "$linux/$rel" ]; then
    fail "only the Windows build has $rel"
  elif [ ! -f "$work/sample/$rel" ]; then
    fail "only the Linux build has $rel"
  elif cmp -s "$linux/$rel" "$work/sample/$rel"; then
    pass
  elif [[ $rel == *.txt ]] && cmp -s <(sed 's/$/\r/' "$linux/$rel") "$work/sample/$rel"; then
    pass  # a report written in text mode: the same lines, with Windows line ends
  else
    fail "$rel differs"
  fi
done < <( (cd "$linux" && find . -type f; cd "$work/sample" && find . -type f) | sed 's|^\./||' | sort -u)
pdbs=$(find "$linux" -name '*.pdb' | wc -l)
printf '%d files compared, %d databases among them\n' "$count" "$pdbs"
[ "$pdbs" -gt 0 ] || fail "the Linux sample build wrote no database"

say "unkiln.exe extract against unkiln extract"
# Both read the Linux build's databases; every file they write is binary.
mkdir -p "$work/extract-linux" "$work/extract-win"
pdbs_in=()
for f in build/sample/Quest/*.pdb; do pdbs_in+=("$f"); done
if build/bin/unkiln extract "${pdbs_in[@]}" -o "$work/extract-linux/Quest" >"$work/unkiln.log" 2>&1 &&
    wine build-win/bin/unkiln.exe extract "${pdbs_in[@]}" -o "$(winepath -w "$work/extract-win/Quest")" >"$work/unkiln-win.log" 2>&1; then
  if diff -r "$work/extract-linux" "$work/extract-win" >/dev/null; then
    pass
    printf '%d extracted files the same\n' "$(find "$work/extract-linux" -type f | wc -l)"
  else
    diff -r "$work/extract-linux" "$work/extract-win" | head -20 || true
    fail "unkiln.exe extracts the sample to other files than unkiln"
  fi
else
  cat "$work/unkiln.log" "$work/unkiln-win.log"
  fail "unkiln extract of the sample (Linux or Windows) failed"
fi

say "unkiln.exe preview against unkiln preview"
# The same PNG bytes and the same page, at an enlargement that also tests scaling.
if build/bin/unkiln preview "${pdbs_in[@]}" -o "$work/preview-linux" --scale 3 >"$work/preview.log" 2>&1 &&
    wine build-win/bin/unkiln.exe preview "${pdbs_in[@]}" -o "$(winepath -w "$work/preview-win")" --scale 3 \
      >"$work/preview-win.log" 2>&1; then
  if diff -r "$work/preview-linux" "$work/preview-win" >/dev/null; then
    pass
    printf '%d preview files the same\n' "$(find "$work/preview-linux" -type f | wc -l)"
  else
    diff -r "$work/preview-linux" "$work/preview-win" | head -20 || true
    fail "unkiln.exe previews the sample in other files than unkiln"
  fi
else
  cat "$work/preview.log" "$work/preview-win.log"
  fail "unkiln preview of the sample (Linux or Windows) failed"
fi

say "vitals.exe against vitals"
# The Windows console writes CR LF line ends; the table is compared without them.
vitals_case() {
  local input=$1
  shift
  local a b sa sb
  set +e
  a=$(printf '%b' "$input" | build/bin/vitals "$@" 2>&1)
  sa=$?
  b=$(printf '%b' "$input" | wine build-win/bin/vitals.exe "$@" 2>&1 | tr -d '\r'; exit "${PIPESTATUS[1]}")
  sb=$?
  set -e
  if [ "$a" = "$b" ] && [ "$sa" = "$sb" ]; then
    pass
  else
    fail "vitals $*: Linux (status $sa) and Windows (status $sb) differ"
    diff <(printf '%s\n' "$a") <(printf '%s\n' "$b") || true
  fi
}
vitals_case "" -start 18 -stamina 18
vitals_case "" -start -50 -stamina 0
vitals_case "" -stamina 40 -start 7
vitals_case "25\n12\n\n"

printf 'windows: %d passed, %d failed\n' "$passed" "$failed"
[ "$failed" -eq 0 ]
