#!/usr/bin/env bash
# The Windows product, end to end under Wine.
#
#   tests/wine/run-wine-suite.sh SOURCE_DIR OUTPUT_DIR
#
# 1. Cross-builds the `windows` preset (into build/windows, or
#    $SORVANE_WINDOWS_BUILD_DIR): Sorvane.dll, VekLib.dll, the test program,
#    vekhost.exe.
# 2. Checks Sorvane.dll's export and import tables with objdump, and that
#    vekhost.exe reaches the simulated host in VekLib.dll.
# 3. Makes a throw-away Wine prefix and a private X display, and runs the test
#    program there against Wine's own registry and dialog manager.
# 4. While the test program holds the settings dialog open, takes its picture
#    from the X display and checks that something is drawn.
# 5. Plays vekhost's example sessions with vekhost.exe, against the real
#    registry and the real settings dialog, and compares the log, the result
#    drawing and the registry file of each with the golden files the Linux
#    vekhost is held to (tests/vekhost/golden): the two builds must print and
#    write the same bytes.
# 6. Installs, upgrades and removes the package's MSI with Wine's msiexec,
#    and signs the release with a throw-away certificate (check-msi.sh).
#
# Leaves in OUTPUT_DIR: objdump-Sorvane.txt, wine-tests.log, wine-tests.xml,
# settings-dialog.png, vekhost/ (one folder per session, with what vekhost.exe
# printed and wrote) and msi/ (msiexec's logs). Exits non-zero if anything
# fails. Work (the builds, Wine's start, the tests) has no time limit: how
# long it takes is the machine's business. Only waits for something that may
# never come (the X server's display) have deadlines, and the X server, the
# Wine server and the prefix go on every exit.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 SOURCE_DIR OUTPUT_DIR" >&2
  exit 2
fi
src=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
win_build=${SORVANE_WINDOWS_BUILD_DIR:-$src/build/windows}
# The package as it is made without a certificate; check-msi.sh signs it.
unset SORVANE_SIGN_PKCS12 SORVANE_SIGN_PASSWORD_FILE SORVANE_SIGN_PASSWORD
bin=$win_build/bin
triple=x86_64-w64-mingw32
started=$SECONDS

step() { echo "== [$((SECONDS - started)) s] $*"; }
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# --- 1. The Windows build ---------------------------------------------------
step "cross-building the windows preset into $win_build"
(cd "$src" && cmake --preset windows -B "$win_build" >"$out/cross-configure.log" 2>&1) ||
  { tail -n 30 "$out/cross-configure.log"; fail "configuring the windows preset"; }
cmake --build "$win_build" --parallel "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" >"$out/cross-build.log" 2>&1 ||
  { tail -n 40 "$out/cross-build.log"; fail "building the windows preset"; }
for f in Sorvane.dll VekLib.dll sorvane_wine_tests.exe vekhost.exe; do
  [ -f "$bin/$f" ] || fail "the build made no $bin/$f"
done
# The package an operator gets: what the suite tests is what it holds.
(cd "$win_build" && cpack >"$out/cpack.log" 2>&1) ||
  { tail -n 20 "$out/cpack.log"; fail "making the package"; }
zips=("$win_build"/dist/Sorvane-*-win64.zip)
[ -f "${zips[0]}" ] || fail "cpack made no Sorvane-*-win64.zip"
[ -f "${zips[0]%.zip}.msi" ] || fail "cpack made no MSI beside ${zips[0]}"
echo "package: ${zips[0]} and its MSI"

# --- 2. What Sorvane.dll exports and imports ----------------------------------
step "checking Sorvane.dll's export and import tables"
objdump_report=$out/objdump-Sorvane.txt
"$triple-objdump" -p "$bin/Sorvane.dll" >"$objdump_report"

# (Here-strings rather than pipes into grep -q and awk's early exit: with
# pipefail, a writer cut off early would count as a failure.)
grep -q "file format pei-x86-64" <<<"$("$triple-objdump" -f "$bin/Sorvane.dll")" ||
  fail "Sorvane.dll is not an x86-64 image"

# The export names: the lines after "[Ordinal/Name Pointer] Table" up to the
# first blank line, each "[ n] Name".
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next}
               on && NF == 0 {exit}
               on {print $NF}' "$objdump_report")
[ "$exports" = "Startup" ] || fail "Sorvane.dll must export exactly Startup, exports: $(echo $exports)"

# The imports as "DLL name" lines: every DLL Sorvane.dll needs, and each
# imported function prefixed by the DLL it comes from.
imports=$(awk '/DLL Name:/ {dll = $3; print "DLL " dll; next}
               /^$/ {dll = ""}
               dll != "" && $1 ~ /^[0-9a-f]+$/ && NF >= 2 {print dll " " $NF}' "$objdump_report")
dlls=$(echo "$imports" | awk '$1 == "DLL" {print $2}' | sort -u)
for dll in $dlls; do
  case "${dll,,}" in
    veklib.dll | kernel32.dll | advapi32.dll | user32.dll | msvcrt.dll) ;;
    *) fail "Sorvane.dll needs $dll; it may need only VekLib.dll and system DLLs" ;;
  esac
done
for dll in VekLib.dll ADVAPI32.dll USER32.dll; do
  grep -qx "$dll" <<<"$dlls" || fail "Sorvane.dll does not import from $dll"
done
# Every Vek* name comes from VekLib.dll, and each one the module's code calls
# is imported by name.
misplaced=$(echo "$imports" | awk '$1 != "DLL" && $2 ~ /^Vek/ && $1 != "VekLib.dll"')
[ -z "$misplaced" ] || fail "Vek functions imported from elsewhere: $misplaced"
called=$(grep -rhoE '\bVek[A-Z][A-Za-z0-9]+\(' "$src/src/command" "$src/src/settings" |
  tr -d '(' | sort -u)
imported_vek=$(echo "$imports" | awk '$1 == "VekLib.dll" {print $2}' | sort -u)
missing=$(comm -23 <(echo "$called") <(echo "$imported_vek"))
[ -z "$missing" ] || fail "Vek functions called but not imported from VekLib.dll: $missing"
for fn in RegOpenKeyExW RegQueryValueExW RegCreateKeyExW RegSetValueExW RegOpenKeyW \
  RegDeleteValueW RegCloseKey; do
  grep -qx "ADVAPI32.dll $fn" <<<"$imports" || fail "$fn is not imported from ADVAPI32.dll"
done
for fn in DialogBoxParamW EndDialog CheckDlgButton GetActiveWindow EnableWindow SetWindowPos; do
  grep -qx "USER32.dll $fn" <<<"$imports" || fail "$fn is not imported from USER32.dll"
done
# The settings are read by the runtime's own _wtoi, not by a copy of it.
grep -qx "msvcrt.dll _wtoi" <<<"$imports" || fail "_wtoi is not imported from msvcrt.dll"

# Hardening: every module source is compiled with stack protection and
# _FORTIFY_SOURCE=2, and libssp's canary code is linked into the DLL rather
# than imported from libssp-0.dll (the DLL list above holds the imports).
module_commands=$(grep -E '"command":.*/src/(command|settings|platform)/' "$win_build/compile_commands.json" || true)
[ -n "$module_commands" ] || fail "no module sources in compile_commands.json"
if grep -v -- '-fstack-protector-strong' <<<"$module_commands" | grep -q .; then
  fail "a module source is compiled without -fstack-protector-strong"
fi
if grep -v -- '-D_FORTIFY_SOURCE=2' <<<"$module_commands" | grep -q .; then
  fail "a module source is compiled without -D_FORTIFY_SOURCE=2"
fi
symbols=$("$triple-nm" "$bin/Sorvane.dll")
grep -qE ' T __stack_chk_fail$' <<<"$symbols" || fail "Sorvane.dll has no __stack_chk_fail of its own"
grep -qE ' B __stack_chk_guard$' <<<"$symbols" || fail "Sorvane.dll has no __stack_chk_guard of its own"
characteristics=$(awk '/^DllCharacteristics/ {print $2}' "$objdump_report")
for bit in 0020:HIGH_ENTROPY_VA 0040:DYNAMIC_BASE 0100:NX_COMPAT; do
  (( (16#$characteristics & 16#${bit%%:*}) != 0 )) || fail "Sorvane.dll lacks ${bit#*:}"
done
echo "hardening: stack protector and _FORTIFY_SOURCE=2 in every module source; DllCharacteristics $characteristics"
echo "exports: $exports"
echo "imports from: $(echo $dlls)"
echo "Vek functions imported from VekLib.dll: $(echo "$imported_vek" | wc -l)"

# VekLib.dll, standing in for the host's, exports every function of the host
# interface by name.
declared=$(grep -oE '\bVek[A-Z][A-Za-z0-9]+\(' "$src/src/host/VekLib.h" | tr -d '(' | sort -u)
"$triple-objdump" -p "$bin/VekLib.dll" >"$out/objdump-VekLib.txt"
vek_exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next}
                   on && NF == 0 {exit}
                   on && $NF ~ /^Vek/ {print $NF}' "$out/objdump-VekLib.txt" | sort -u)
missing=$(comm -23 <(echo "$declared") <(echo "$vek_exports"))
[ -z "$missing" ] || fail "VekLib.dll does not export: $missing"

# vekhost.exe plays the host from outside the module, so it must talk to the
# one simulated host inside VekLib.dll that the module talks to, not to a
# copy of its own; and like the module it needs no MinGW runtime DLL.
"$triple-objdump" -p "$bin/vekhost.exe" >"$out/objdump-vekhost.txt"
vekhost_imports=$(awk '/DLL Name:/ {dll = $3; next}
                       /^$/ {dll = ""}
                       dll != "" && $1 ~ /^[0-9a-f]+$/ && NF >= 2 {print dll " " $NF}' \
  "$out/objdump-vekhost.txt")
grep -qx "VekLib.dll _ZN3sim4Host8InstanceEv" <<<"$vekhost_imports" ||
  fail "vekhost.exe does not take the simulated host (sim::Host::Instance) from VekLib.dll"
for dll in $(awk '{print $1}' <<<"$vekhost_imports" | sort -u); do
  case "${dll,,}" in
    veklib.dll | kernel32.dll | advapi32.dll | user32.dll | msvcrt.dll) ;;
    *) fail "vekhost.exe needs $dll; it may need only VekLib.dll and system DLLs" ;;
  esac
done

# --- 3. A throw-away Wine prefix on a private X display -----------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/sorvane-wine.XXXXXX")
export WINEPREFIX=$work/prefix
export WINEARCH=win64
export WINEDEBUG=-all
# No prompts to install Mono or Gecko: nothing here needs .NET or HTML.
export WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=""
wine_pid=""

cleanup() {
  local status=$?
  trap - EXIT INT TERM
  if [ -n "$wine_pid" ] && kill -0 "$wine_pid" 2>/dev/null; then kill "$wine_pid" 2>/dev/null || true; fi
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

step "starting a private X display"
# -displayfd: the server picks a free display number itself and writes it
# once it accepts connections.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
deadline=$((SECONDS + 30))
until [ -s "$work/display" ]; do
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$out/xvfb.log"; fail "Xvfb did not start"; }
  [ $SECONDS -lt $deadline ] || fail "Xvfb gave no display number within 30 s"
  sleep 0.1
done
export DISPLAY=":$(tr -dc '0-9' <"$work/display")"
echo "display $DISPLAY"

step "making a fresh Wine prefix"
wineboot -i >"$out/wineboot.log" 2>&1 || { tail "$out/wineboot.log"; fail "wineboot -i"; }
# The server stays up between the suite's wine runs instead of restarting.
timeout 30 wineserver -p >/dev/null 2>&1 || true

# The dialog's font is "MS Shell Dlg", which a fresh prefix maps to Tahoma:
# no Hangul there. NanumGothic has it, and goes where Windows keeps fonts.
nanum=/usr/share/fonts/truetype/nanum/NanumGothic.ttf
[ -f "$nanum" ] || nanum=$(find /usr/share/fonts -name NanumGothic.ttf -print -quit)
[ -n "$nanum" ] && [ -f "$nanum" ] || fail "NanumGothic.ttf not found (Debian package fonts-nanum)"
cp "$nanum" "$WINEPREFIX/drive_c/windows/Fonts/"
# The caption's close box is a glyph of Wine's Marlett; without it the box
# shows the letter "r".
for marlett in /usr/share/wine/fonts/marlett.ttf /usr/lib/*/wine/fonts/marlett.ttf; do
  if [ -f "$marlett" ]; then
    cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
    break
  fi
done

# Windows are left unmanaged: Wine draws their frames and captions itself,
# so the picture shows the caption, and closing a window does not wait for a
# window manager that is not there.
cat >"$work/setup.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS Shell Dlg"="NanumGothic"
"MS Shell Dlg 2"="NanumGothic"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"MS Shell Dlg"="NanumGothic"
"MS Shell Dlg 2"="NanumGothic"
EOF
wine regedit /S "Z:${work//\//\\}\\setup.reg" >/dev/null 2>&1 || fail "importing the prefix settings"

# The package, unpacked as an operator would, checked against its checksums.
package=$work/package
mkdir -p "$package"
(cd "$package" && unzip -q "${zips[0]}" && sha256sum --quiet -c SHA256SUMS) ||
  fail "the package's files do not match its SHA256SUMS"
winpath() { echo "Z:${1//\//\\}"; }
export SORVANE_DLL
SORVANE_DLL=$(winpath "$package/Sorvane.dll")

# Its .reg files through Wine's own regedit: the defaults, which the module's
# first start then reads without writing, and the removal.
step "importing the package's .reg files with regedit"
for check in defaults removed; do
  file=settings-defaults.reg
  [ "$check" = removed ] && file=settings-remove.reg
  wine regedit /S "$(winpath "$package/$file")" >/dev/null 2>&1 || fail "regedit $file"
  SORVANE_PACKAGE_CHECK=$check wine "$bin/sorvane_wine_tests.exe" \
    --gtest_filter='PackageSettings.*' >"$out/package-$check.log" 2>&1 ||
    { cat "$out/package-$check.log"; fail "after $file"; }
  case $check in
    defaults) ran=TheDefaultsFileGivesTheSevenValuesAndTheFirstStartWritesNothing ;;
    removed) ran=TheRemovalFileLeavesNoKey ;;
  esac
  grep -q "\[       OK \] PackageSettings.$ran" "$out/package-$check.log" ||
    { cat "$out/package-$check.log"; fail "the check after $file did not run"; }
  echo "after $file: PackageSettings.$ran passed"
done

# The packaged DLL loaded, used and unloaded many times in one process of its
# own: the rest of the suite keeps it loaded throughout.
step "loading and unloading the packaged Sorvane.dll in one process"
SORVANE_UNLOAD_CYCLES=300 wine "$bin/sorvane_wine_tests.exe" --gtest_filter='ModuleUnload.*' \
  >"$out/unload.log" 2>&1 || { cat "$out/unload.log"; fail "loading and unloading the module"; }
grep -q "\[       OK \] ModuleUnload.LoadsAndUnloadsLeaveNothingBehind" "$out/unload.log" ||
  { cat "$out/unload.log"; fail "the load and unload check did not run"; }
grep "^after .* loads and unloads" "$out/unload.log"

# --- 4. The test program, and the dialog's picture ------------------------------
shots=$work/shots
mkdir -p "$shots"
picture=$out/settings-dialog.png
rm -f "$picture" "$out/wine-tests.xml"
picture_status="not taken"

# Takes the picture of the screen area the test program names, until it shows
# more than one flat colour, for at most 30 s: Wine hands its drawing to the X
# server a little after the dialog has painted.
take_picture() {
  local x y w h deviation
  read -r x y w h <"$shots/dialog-ready.txt"
  echo "dialog at ${x},${y}, ${w}x${h}"
  local until_=$((SECONDS + 30))
  while :; do
    if import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$picture" 2>>"$out/import.log"; then
      deviation=$(convert "$picture" -format '%[fx:standard_deviation]' info: 2>/dev/null || echo 0)
      if awk -v d="$deviation" 'BEGIN {exit !(d > 0.05)}'; then
        picture_status="ok (standard deviation $deviation)"
        return 0
      fi
    fi
    [ $SECONDS -lt $until_ ] || {
      picture_status="blank (standard deviation ${deviation:-none})"
      return 1
    }
    sleep 0.5
  done
}

step "running the test program under Wine"
SORVANE_SHOT_DIR="Z:${shots//\//\\}" wine "$bin/sorvane_wine_tests.exe" \
  "--gtest_output=xml:Z:${out//\//\\}\\wine-tests.xml" >"$out/wine-tests.log" 2>&1 &
wine_pid=$!
picture_ok=1
while kill -0 "$wine_pid" 2>/dev/null; do
  if [ -f "$shots/dialog-ready.txt" ] && [ ! -f "$shots/dialog-taken.txt" ]; then
    take_picture || picture_ok=0
    echo "$picture_status" >"$shots/dialog-taken.txt"
  fi
  sleep 0.2
done
set +e
wait "$wine_pid"
tests_status=$?
set -e
wine_pid=""
cat "$out/wine-tests.log"

echo "picture: $picture_status -> $picture"
[ "$tests_status" -eq 0 ] || fail "the test program under Wine exited with $tests_status"
[ -f "$shots/dialog-taken.txt" ] || fail "the test program never held the dialog still for its picture"
[ "$picture_ok" -eq 1 ] || fail "the dialog's picture is blank"
# The guide shows the dialog as this run drew it.
cmp -s "$picture" "$package/settings-dialog.png" ||
  fail "the guide's picture (docs/settings-dialog.png) is not the dialog as drawn now: $picture"
echo "the guide's picture is the dialog as this run drew it"

# --- 5. vekhost.exe's sessions against the Linux golden files ------------------
step "playing vekhost's example sessions with vekhost.exe"
golden=tests/vekhost/golden
sessions=$out/vekhost
rm -rf "$sessions"
mkdir -p "$sessions"
mismatches=0

# new_session NAME FILE...: a folder of its own with copies of the inputs, so
# that vekhost.exe names them by their bare names, as the Linux tests do.
new_session() {
  local dir=$sessions/$1
  shift
  mkdir -p "$dir"
  for f in "$@"; do cp "$src/$f" "$dir/"; done
}

# vekhost NAME ARGS...: runs vekhost.exe in the session's folder; what it
# prints goes to stdout.log and stderr.log there (Wine's own messages, if
# any, land in stderr.log too). Gives vekhost.exe's exit status.
vekhost() {
  local dir=$sessions/$1
  shift
  local status=0
  (cd "$dir" && wine "$bin/vekhost.exe" "$@" </dev/null >stdout.log 2>stderr.log) || status=$?
  return "$status"
}

# expect_status NAME WANTED ACTUAL
expect_status() {
  if [ "$3" -ne "$2" ]; then
    echo "MISMATCH: $1: vekhost.exe ended with $3, expected $2; its standard error:"
    cat "$sessions/$1/stderr.log"
    mismatches=$((mismatches + 1))
    return 1
  fi
}

# same NAME PRODUCED GOLDEN: the file vekhost.exe wrote against the golden
# file, byte for byte; a difference is shown as a diff. A golden file named
# .diff is kept as its changes from the golden file its first line names
# (the result drawings, as in the Linux tests), and is made whole first.
same() {
  local produced=$sessions/$1/$2
  local golden=$src/$3
  if [[ $3 == *.diff ]]; then
    golden=$sessions/$1/$2.expected
    patch --quiet --force --reject-file=- --output="$golden" \
      "$src/$(sed -n '1s/^--- //p' "$src/$3")" "$src/$3" >/dev/null ||
      fail "$3 does not apply to the file it names"
  fi
  if [ ! -f "$produced" ]; then
    echo "MISMATCH: $1: vekhost.exe wrote no $2"
    mismatches=$((mismatches + 1))
  elif ! cmp -s "$golden" "$produced"; then
    echo "MISMATCH: $1: $2 differs from $3 (- Linux golden, + vekhost.exe):"
    diff -u --label "$3" --label "$1/$2" "$golden" "$produced" >"$sessions/$1/$2.diff" || true
    head -n 60 "$sessions/$1/$2.diff"
    mismatches=$((mismatches + 1))
  fi
}

# Settings first: it switches a setting on, so a session after it that did
# not start from a fresh registry key would show it.
for name in settings figure annotation dimension; do
  new_session "$name" examples/bracket.json "examples/$name.vks"
  status=0
  vekhost "$name" bracket.json --script "$name.vks" --registry registry.reg --out result.json ||
    status=$?
  if expect_status "$name" 0 "$status"; then
    same "$name" stdout.log "$golden/$name.log"
    same "$name" result.json "$golden/$name.json.diff"
    same "$name" registry.reg "$golden/$name.reg"
  fi
done

# Settings kept from one session to the next through the registry file: the
# figure session after the settings session moves the hole data too, and
# writes back the settings as it found them.
new_session persist examples/bracket.json examples/settings.vks examples/figure.vks
status=0
vekhost persist bracket.json --script settings.vks --registry registry.reg || status=$?
if expect_status persist 0 "$status"; then
  vekhost persist bracket.json --script figure.vks --registry registry.reg || status=$?
  if expect_status persist 0 "$status"; then
    same persist stdout.log "$golden/persist.log"
    same persist registry.reg "$golden/settings.reg"
  fi
fi

# A registry file with more than the settings in it comes out as on Linux.
new_session registry-kept examples/bracket.json examples/figure.vks tests/vekhost/kept.reg
status=0
vekhost registry-kept bracket.json --script figure.vks --registry kept.reg || status=$?
if expect_status registry-kept 0 "$status"; then
  same registry-kept stdout.log "$golden/kept.log"
  same registry-kept kept.reg "$golden/kept.reg"
fi

# A registry file that cannot be read: the same one-line message, and nothing
# written.
for name in malformed wrong-header; do
  new_session "registry-$name" examples/bracket.json examples/figure.vks \
    "tests/vekhost/bad/$name.reg"
  status=0
  vekhost "registry-$name" bracket.json --script figure.vks --registry "$name.reg" \
    --out result.json || status=$?
  if expect_status "registry-$name" 2 "$status"; then
    cp "$sessions/registry-$name/stderr.log" "$sessions/registry-$name/message.txt"
    same "registry-$name" message.txt "tests/vekhost/bad/registry-$name.err"
    same "registry-$name" "$name.reg" "tests/vekhost/bad/$name.reg"
    if [ -e "$sessions/registry-$name/result.json" ]; then
      echo "MISMATCH: registry-$name: result.json was written, though the input was rejected"
      mismatches=$((mismatches + 1))
    fi
  fi
done

[ "$mismatches" -eq 0 ] ||
  fail "vekhost.exe differs from the Linux golden files in $mismatches place(s); see $sessions"
echo "vekhost.exe: every session printed and wrote what the Linux vekhost does"

# --- 6. The MSI, and the signing -----------------------------------------------
step "installing, upgrading and removing the MSI; signing"
"$src/tests/wine/check-msi.sh" "$src" "$out" "$win_build"

step "done"
echo "Wine suite passed in $((SECONDS - started)) s"
