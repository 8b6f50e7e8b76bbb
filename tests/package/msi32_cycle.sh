#!/bin/bash
# A 32-bit Windows Installer package in Wine's 64-bit prefix: built with wixl (-a x86) from
# tests/package/qmtest32.wxs, installed with msiexec /qn into a fresh prefix of its own, its
# folder then deleted. Its entries live in the registry's 32-bit view. Checks that a scan finds
# nothing new right after the install; that once the folder is gone it finds the COM class,
# the shared DLL count and the Run value (each in the 32-bit view), the App Paths entry and
# the Start-menu shortcut; and that its desktop shortcut is left alone (the user's Desktop is a
# link into the home folder outside the prefix's drives, where the shortcut walk does not go);
# that a fix removes them and a restore of its backup brings back exactly what was found.
# Prints the new findings (the counts the closing notes quote).
#
#   msi32_cycle.sh SOURCE_DIR WORK_DIR CLI_EXE
set -euo pipefail

source_dir=$1 work=$2 cli=$3
wine_run=$source_dir/tools/wine-run
categories=com,shareddlls,drivers,help,apppaths,sharedtools,fonts,startup,uninstall,shortcuts

rm -rf "$work"
mkdir -p "$work/run"
export QM_WINE_PREFIX=$work/wineprefix
trap '"$wine_run" --stop || true' EXIT
"$wine_run" --prepare
cp "$cli" "$work/run/quillmere-cli.exe"
failures=0

fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

# The package, with two placeholder files as its payload.
printf 'MZ placeholder' >"$work/qmtest32.exe"
printf 'MZ placeholder' >"$work/qmtest32.dll"
(cd "$work" && wixl -a x86 -o qmtest32.msi "$source_dir/tests/package/qmtest32.wxs")

# The finding and shortcut lines of a scan (those after the table of rows), sorted.
scan_findings() {
    local out=$1 status=0
    (cd "$work/run" && "$wine_run" quillmere-cli.exe scan --categories "$categories" --drives C \
        </dev/null >"$out.raw") || status=$?
    [ "$status" -le 1 ] || { fail "scan exited with $status"; cat "$out.raw" >&2; }
    tr -d '\r' <"$out.raw" | awk 'seen { print } /^$/ { seen = 1 }' | sort >"$out"
}

new_findings() {  # lines of $2 that are not in $1
    comm -13 "$1" "$2"
}

scan_findings "$work/fresh.txt"
(cd "$work" && "$wine_run" msiexec /i qmtest32.msi /qn </dev/null) || fail "msiexec exited with $?"
folder=$QM_WINE_PREFIX/drive_c/Program\ Files\ \(x86\)/QMTest32
[ -f "$folder/qmtest32.dll" ] || fail "the package did not install into Program Files (x86)"

scan_findings "$work/installed.txt"
if [ -n "$(new_findings "$work/fresh.txt" "$work/installed.txt")" ]; then
    fail "findings right after the install:"
    new_findings "$work/fresh.txt" "$work/installed.txt" >&2
fi

rm -rf "$folder"
scan_findings "$work/removed.txt"
new_findings "$work/fresh.txt" "$work/removed.txt" >"$work/new.txt"
echo "new findings once the package's folder is gone: $(wc -l <"$work/new.txt")"
cat "$work/new.txt"
dll='C:\Program Files (x86)\QMTest32\qmtest32.dll'
exe='C:\Program Files (x86)\QMTest32\qmtest32.exe'
expect() {  # a fixed text the new findings must hold on one line
    grep -qF -- "$1" "$work/new.txt" || fail "not found: $1"
}
expect "CLSID       KEY HKEY_CLASSES_ROOT\\CLSID\\{6E1B2C3D-4F50-4A61-8B72-9C83D4E5F604}  [(Default)]  $dll  (32-bit view)"
expect "SharedFile  VAL HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs  [$dll]  $dll  (32-bit view)"
expect "Startup     VAL HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Run  [QMTest32]  $exe  (32-bit view)"
expect "APPPath     KEY HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmtest32.exe  [(Default)]  $exe"
expect "\\Start Menu\\Programs\\QMTest32.lnk  ->  $exe"
! grep -qF 'Desktop\QMTest32.lnk' "$work/new.txt" || fail "the shortcut on the Desktop linked out of the prefix was reported"
[ "$(grep -c 'App Paths' "$work/new.txt")" = 1 ] || fail "the App Paths entry both views share is not found exactly once"

# A fix removes them (each in its view); restoring its backup gives them back.
status=0
(cd "$work/run" && "$wine_run" quillmere-cli.exe fix --categories "${categories%,shortcuts}" </dev/null >"$work/fix.txt") ||
    status=$?
[ "$status" = 0 ] || { fail "fix exited with $status"; cat "$work/fix.txt" >&2; }
scan_findings "$work/fixed.txt"
if grep -q 'QMTest32' <(grep -v '^ShortCut' "$work/fixed.txt"); then
    fail "registry findings of the package left after the fix:"
    grep 'QMTest32' "$work/fixed.txt" >&2
fi
backup=$(cd "$work/run" && ls FixedOn*.xml | head -n 1)
grep -q '<k name="HKEY_CLASSES_ROOT" view="32">' "$work/run/$backup" || fail "the backup does not mark the 32-bit view"
(cd "$work/run" && "$wine_run" quillmere-cli.exe restore "$backup" </dev/null >"$work/restore.txt") ||
    fail "restore exited with $?"
scan_findings "$work/restored.txt"
if ! cmp -s "$work/removed.txt" "$work/restored.txt"; then
    fail "the restore did not bring back what was found:"
    diff "$work/removed.txt" "$work/restored.txt" >&2 || true
fi

if [ "$failures" -gt 0 ]; then
    echo "msi32_cycle: $failures failure(s)" >&2
    exit 1
fi
echo "msi32_cycle: passed"
