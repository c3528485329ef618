#!/usr/bin/env bash
# The MSI and the signing, under Wine, in the Wine suite's prefix:
#
#   tests/wine/check-msi.sh SOURCE_DIR OUTPUT_DIR WINDOWS_BUILD_DIR
#
# run by run-wine-suite.sh with WINEPREFIX and the rest exported, once the
# windows tree's package (ZIP and MSI, unsigned) is made.
#
# 1. Installs the MSI silently, to the default folder and to one given with
#    INSTALLDIR: the files and their checksums against the ZIP's SHA256SUMS,
#    the one entry in the installed programs, no per-user settings; runs the
#    test program against the installed Sorvane.dll.
# 2. Installs a build with a higher version over it (one entry, the new
#    files), is refused the older one, removes it: nothing is left.
# 3. Signs the release with a certificate of its own (openssl): the windows
#    tree configured with it gives a signed DLL, ZIP and MSI, the same bytes
#    with the password read from a file or from the environment, that
#    `osslsigncode verify` passes; the signed MSI installs a DLL that passes
#    the test program; one byte changed fails the verification. Then the tree
#    is configured unsigned again and its package made as before.
#
# Leaves in OUTPUT_DIR/msi: msiexec's logs and the test program's output.
set -euo pipefail
src=$1
out=$2/msi
win_build=$3
bin=$win_build/bin
mkdir -p "$out"
rm -f "$out"/*
work=$(mktemp -d "${TMPDIR:-/tmp}/sorvane-msi.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
winpath() { echo "Z:${1//\//\\}"; }
drive_c=$WINEPREFIX/drive_c
default_dir="$drive_c/Program Files/Denmarrow/Sorvane"

zip=$(echo "$win_build"/dist/Sorvane-*-win64.zip)
version=${zip##*/Sorvane-}
version=${version%-win64.zip}
cp "$zip" "${zip%.zip}.msi" "$work/"
msi=$work/Sorvane-$version-win64.msi
mkdir "$work/zip"
(cd "$work/zip" && unzip -q "$zip")
installed_names=(Sorvane.dll guide-ko.md guide-en.md settings-dialog.png settings-defaults.reg settings-remove.reg)

# msiexec NAME ARGS...: installs or removes without an interface, its log in
# OUTPUT_DIR/msi/NAME.log. Gives msiexec's status, which Wine hands on modulo
# 256 (1603, a failed install, comes out as 67).
msiexec() {
  local name=$1 status=0
  shift
  wine msiexec "$@" /qn /l*v "$(winpath "$out/$name.log")" >/dev/null 2>&1 || status=$?
  return "$status"
}

# The installed programs' entries named Sorvane, one line each:
# "version|publisher|folder".
entries() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | awk '
      function flush() { if (name == "Sorvane") print version "|" publisher "|" folder }
      /^HKEY/ { flush(); name = version = publisher = folder = "" }
      $1 == "DisplayName" { name = substr($0, index($0, "REG_SZ") + 10) }
      $1 == "DisplayVersion" { version = substr($0, index($0, "REG_SZ") + 10) }
      $1 == "Publisher" { publisher = substr($0, index($0, "REG_SZ") + 10) }
      $1 == "InstallLocation" { folder = substr($0, index($0, "REG_SZ") + 10) }
      END { flush() }'
}

# installed DIR SUMS VERSION WINDOWS_FOLDER: DIR holds the six files and only
# them, as SUMS lists them, and one entry names the version and the folder.
installed() {
  local dir=$1 sums=$2
  [ "$(cd "$dir" && find . -mindepth 1 -printf '%P\n' | sort)" = "$(printf '%s\n' "${installed_names[@]}" | sort)" ] ||
    fail "$dir holds: $(find "$dir" -mindepth 1 -printf '%P ')"
  grep -E " ($(IFS='|' && echo "${installed_names[*]}"))\$" "$sums" | (cd "$dir" && sha256sum --quiet -c -) ||
    fail "the files in $dir are not those of $sums"
  [ "$(entries)" = "$3|Denmarrow|$4" ] ||
    fail "the installed programs list, for Sorvane: '$(entries)', not '$3|Denmarrow|$4'"
}

# Nothing of the product is left: no entry, no file, no folder, no key.
nothing_left() {
  [ -z "$(entries)" ] || fail "still in the installed programs: $(entries)"
  [ ! -e "$drive_c/Program Files/Denmarrow" ] || fail "left: $(find "$drive_c/Program Files/Denmarrow")"
  [ ! -e "$drive_c/Sorvane Module" ] || fail "left: $(find "$drive_c/Sorvane Module")"
  if wine reg query 'HKLM\Software\Denmarrow' >/dev/null 2>&1; then
    fail "left: the key HKLM\\Software\\Denmarrow"
  fi
}

# run_tests NAME DLL FILTER: the test program against DLL (a Windows path).
# ModuleUnload runs only given SORVANE_UNLOAD_CYCLES, and in a process of its
# own: the other tests keep the module loaded.
run_tests() {
  SORVANE_DLL=$2 wine "$bin/sorvane_wine_tests.exe" "--gtest_filter=$3" >"$out/$1.log" 2>&1 ||
    { cat "$out/$1.log"; fail "the test program against $2"; }
  grep -q "\[  PASSED  \]" "$out/$1.log" || { cat "$out/$1.log"; fail "the test program ran nothing"; }
  grep "\[  PASSED  \]" "$out/$1.log"
}

# --- 1. Installing ----------------------------------------------------------
echo "-- installing $(basename "$msi") to the default folder"
wine reg delete 'HKCU\Software\Denmarrow' /f >/dev/null 2>&1 || true
msiexec install /i "$(winpath "$msi")" || fail "msiexec /i exited with $?"
installed "$default_dir" "$work/zip/SHA256SUMS" "$version" 'C:\Program Files\Denmarrow\Sorvane\'
if wine reg query 'HKCU\Software\Denmarrow' >/dev/null 2>&1; then
  fail "the install wrote per-user settings (HKCU\\Software\\Denmarrow)"
fi
echo "the six files as SHA256SUMS lists them, one entry $(entries); no per-user settings"
SORVANE_UNLOAD_CYCLES=20 run_tests installed 'C:\Program Files\Denmarrow\Sorvane\Sorvane.dll' \
  'ModuleFilesTest.*:ModuleUnload.*'

# --- 2. Upgrading, downgrading, removing ------------------------------------
# The next build: a higher third field (Windows Installer compares three), and
# a guide of its own, so that the files it installs show.
IFS=. read -r major minor patch tweak <<<"$version"
next=$major.$minor.$((patch + 1)).$tweak
cp -r "$work/zip" "$work/next"
echo "A line of $next." >>"$work/next/guide-en.md"
(cd "$work/next" && sha256sum "${installed_names[@]}" >SHA256SUMS && touch -d @315532800 ./*)
cmake -DDIR="$work/next" -DWXS="$src/release/sorvane.wxs" -DVERSION="$next" -DEPOCH=315532800 \
  -DOUTPUT="$work/next.msi" -P "$src/cmake/package-msi.cmake" >"$out/next.log" 2>&1 || fail "making the MSI of $next"

echo "-- installing $next over $version"
msiexec upgrade /i "$(winpath "$work/next.msi")" || fail "msiexec /i of $next exited with $?"
installed "$default_dir" "$work/next/SHA256SUMS" "$next" 'C:\Program Files\Denmarrow\Sorvane\'
echo "one entry, $(entries), and the new files"

echo "-- installing $version over $next"
status=0
msiexec downgrade /i "$(winpath "$msi")" || status=$?
[ "$status" -eq $((1603 % 256)) ] || fail "installing $version over $next: status $status, not 1603's"
# Wine's msiexec logs no failed condition's message: the package holds it.
grep -q "^NOT WIX_DOWNGRADE_DETECTED.A newer version of Sorvane is already installed" \
  <<<"$(msiinfo export "$msi" LaunchCondition | tr -d '\r')" || fail "the MSI says not why it refuses"
installed "$default_dir" "$work/next/SHA256SUMS" "$next" 'C:\Program Files\Denmarrow\Sorvane\'
echo "refused with the message; $next untouched"

echo "-- removing $next"
msiexec remove /x "$(winpath "$work/next.msi")" || fail "msiexec /x exited with $?"
nothing_left
echo "nothing left"

echo "-- installing $version with INSTALLDIR, and removing it"
msiexec install-dir /i "$(winpath "$msi")" 'INSTALLDIR=C:\Sorvane Module' ||
  fail "msiexec /i INSTALLDIR=... exited with $?"
installed "$drive_c/Sorvane Module" "$work/zip/SHA256SUMS" "$version" 'C:\Sorvane Module\'
[ ! -e "$drive_c/Program Files/Denmarrow" ] || fail "INSTALLDIR given, yet Program Files\\Denmarrow made"
msiexec remove-dir /x "$(winpath "$msi")" || fail "msiexec /x exited with $?"
nothing_left
echo "installed to C:\\Sorvane Module and removed: nothing left"

# --- 3. Signing -------------------------------------------------------------
echo "-- signing with a throw-away certificate"
sign=$work/sign
mkdir -m 700 "$sign"
echo "throw-away $RANDOM$RANDOM" >"$sign/password"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Sorvane test signing" \
  -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning \
  -keyout "$sign/key.pem" -out "$sign/cert.pem" 2>"$out/openssl.log" &&
  openssl pkcs12 -export -inkey "$sign/key.pem" -in "$sign/cert.pem" -passout "file:$sign/password" \
    -out "$sign/test.p12" 2>>"$out/openssl.log" || { cat "$out/openssl.log"; fail "openssl"; }

# package: the windows tree configured again, with the signing variables
# the environment has, and its package made.
package() {
  (cd "$src" && cmake --preset windows -B "$win_build" &&
    cmake --build "$win_build" --target sorvane_package_files && cd "$win_build" && cpack) \
    >"$out/package.log" 2>&1 || { tail -n 30 "$out/package.log"; fail "making the package"; }
}
signed_outputs=(package/Sorvane.dll "dist/Sorvane-$version-win64.zip" "dist/Sorvane-$version-win64.msi")
(
  export SORVANE_SIGN_PKCS12=$sign/test.p12 SORVANE_SIGN_PASSWORD_FILE=$sign/password
  package
)
grep -q "Signing Sorvane.dll and the MSI with" "$out/package.log" || fail "configured, yet not signing"
(cd "$win_build" && sha256sum "${signed_outputs[@]}") >"$work/signed.sums"
mkdir "$work/signed"
(cd "$work/signed" && unzip -q "$win_build/dist/Sorvane-$version-win64.zip" && sha256sum --quiet -c SHA256SUMS) ||
  fail "the signed ZIP's files do not match its SHA256SUMS"
cmp "$work/signed/Sorvane.dll" "$win_build/package/Sorvane.dll" || fail "the ZIP holds another DLL"
cp "$win_build/dist/Sorvane-$version-win64.msi" "$work/signed.msi"
for f in "$work/signed/Sorvane.dll" "$work/signed.msi"; do
  osslsigncode verify -CAfile "$sign/cert.pem" -in "$f" >"$out/verify-${f##*/}.log" 2>&1 ||
    { cat "$out/verify-${f##*/}.log"; fail "osslsigncode verify $f"; }
done
echo "osslsigncode verify: the signed Sorvane.dll and MSI pass"

sleep 1 # a later second
(
  export SORVANE_SIGN_PKCS12=$sign/test.p12 SORVANE_SIGN_PASSWORD
  SORVANE_SIGN_PASSWORD=$(cat "$sign/password")
  package
)
(cd "$win_build" && sha256sum --quiet -c "$work/signed.sums") ||
  fail "signed with the password from the environment, the DLL, ZIP or MSI differ"
echo "the password from the environment gives the same DLL, ZIP and MSI, a second later"

cp "$work/signed/Sorvane.dll" "$work/changed.dll"
byte=$(od -An -tu1 -j1024 -N1 "$work/changed.dll")
printf "\\$(printf %03o $((byte ^ 1)))" | # the byte with its lowest bit turned
   dd of="$work/changed.dll" bs=1 seek=1024 conv=notrunc status=none
if cmp -s "$work/signed/Sorvane.dll" "$work/changed.dll"; then fail "the byte did not change"; fi
if osslsigncode verify -CAfile "$sign/cert.pem" -in "$work/changed.dll" >"$out/verify-changed.log" 2>&1; then
  fail "osslsigncode verify passes a DLL with one byte changed"
fi
echo "one byte changed: osslsigncode verify fails"

echo "-- installing the signed MSI"
msiexec install-signed /i "$(winpath "$work/signed.msi")" || fail "msiexec /i of the signed MSI exited with $?"
installed "$default_dir" "$work/signed/SHA256SUMS" "$version" 'C:\Program Files\Denmarrow\Sorvane\'
run_tests installed-signed 'C:\Program Files\Denmarrow\Sorvane\Sorvane.dll' '*'
msiexec remove-signed /x "$(winpath "$work/signed.msi")" || fail "msiexec /x of the signed MSI exited with $?"
nothing_left
echo "the signed DLL, installed from the signed MSI, passes the test program; removed, nothing left"

# The tree as the suite found it: unsigned, its package the one compared with
# a clean build's by the release test.
package
cmp "$win_build/dist/Sorvane-$version-win64.msi" "$msi" || fail "unsigned again, the MSI differs"
echo "configured unsigned again: the same MSI as before"
