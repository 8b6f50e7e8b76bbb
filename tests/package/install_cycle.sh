#!/bin/bash
# Installs the built installer silently into a fresh Wine prefix of its own, checks what it
# put on the machine, uninstalls it silently and checks that all of it is gone. The registry
# scan (every category but shortcuts, so no drive is walked) must report nothing after the
# install or after the uninstall that the fresh prefix did not already report.
#
#   install_cycle.sh SOURCE_DIR WORK_DIR SETUP_EXE CLI_EXE VERSION
set -euo pipefail

source_dir=$1 work=$2 setup=$3 cli=$4 version=$5
wine_run=$source_dir/tools/wine-run
categories=com,shareddlls,drivers,help,apppaths,sharedtools,fonts,startup,uninstall

rm -rf "$work"
mkdir -p "$work"
export QM_WINE_PREFIX=$work/wineprefix
trap '"$wine_run" --stop || true' EXIT
"$wine_run" --prepare

drive_c=$QM_WINE_PREFIX/drive_c
install_dir=$drive_c/Program\ Files/Quillmere
win_install_dir='C:\Program Files\Quillmere'
shortcut=$drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Quillmere.lnk
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmere'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
failures=0

fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

# The finding lines of a scan (those after the table of rows), sorted.
scan_findings() {
    local folder=$1 exe=$2 out=$3 status=0
    (cd "$folder" && "$wine_run" "$exe" scan --categories "$categories" </dev/null >"$out.raw") || status=$?
    if [ "$status" -gt 1 ]; then
        fail "scan by $exe exited with $status"
        cat "$out.raw" >&2
    fi
    tr -d '\r' <"$out.raw" | awk 'seen { print } /^$/ { seen = 1 }' | sort >"$out"
}

new_findings() {  # lines of $2 that are not in $1
    comm -13 "$1" "$2"
}

reg_value() {  # data of value $2 under key $1 as reg query prints it, or nothing
    "$wine_run" reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' |
        awk -v name="$2" '$1 == name { $1 = ""; $2 = ""; sub(/^  */, ""); print }' || true
}

wait_gone() {  # the uninstaller finishes in a copy of itself after the first one exits
    local i
    for i in $(seq 1 120); do
        [ -e "$1" ] || return 0
        sleep 0.5
    done
    return 1
}

# A copy of the command line outside the install folder, for the scans around the cycle.
checker=$drive_c/qm-check
mkdir -p "$checker"
cp "$cli" "$checker/quillmere-cli.exe"
scan_findings "$checker" quillmere-cli.exe "$work/fresh.txt"

# ---------------------------------------------------------------- silent install
cp "$setup" "$drive_c/quillmere-setup.exe"
(cd "$drive_c" && "$wine_run" quillmere-setup.exe /S </dev/null) || fail "quillmere-setup.exe /S exited with $?"
for f in quillmere.exe quillmere-cli.exe uninstall.exe; do
    [ -f "$install_dir/$f" ] || fail "$f is not installed"
done
cmp -s "$cli" "$install_dir/quillmere-cli.exe" || fail "the installed quillmere-cli.exe is not the built one"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
[ "$(reg_value "$uninstall_key" DisplayName)" = "Quillmere" ] || fail "uninstall entry: DisplayName"
[ "$(reg_value "$uninstall_key" DisplayVersion)" = "$version" ] || fail "uninstall entry: DisplayVersion"
[ "$(reg_value "$uninstall_key" Publisher)" = "Quillmere" ] || fail "uninstall entry: Publisher"
[ "$(reg_value "$uninstall_key" DisplayIcon)" = "$win_install_dir\\quillmere.exe,0" ] ||
    fail "uninstall entry: DisplayIcon is '$(reg_value "$uninstall_key" DisplayIcon)'"
[ "$(reg_value "$uninstall_key" QuietUninstallString)" = "\"$win_install_dir\\uninstall.exe\" /S" ] ||
    fail "uninstall entry: QuietUninstallString is '$(reg_value "$uninstall_key" QuietUninstallString)'"
size=$(reg_value "$uninstall_key" EstimatedSize)
[ -n "$size" ] && [ $((size)) -gt 0 ] || fail "uninstall entry: EstimatedSize is '$size'"

scan_findings "$install_dir" quillmere-cli.exe "$work/installed.txt"
if [ -n "$(new_findings "$work/fresh.txt" "$work/installed.txt")" ]; then
    fail "the scan after the install reports what the fresh prefix did not:"
    new_findings "$work/fresh.txt" "$work/installed.txt" >&2
fi

# What using the program leaves: a setting, start with Windows, an ignore list.
(cd "$install_dir" && "$wine_run" quillmere-cli.exe settings set savereg </dev/null >/dev/null) ||
    fail "settings set savereg"
"$wine_run" reg add "$run_key" /v QUILLMERE /t REG_SZ /d "$win_install_dir\\quillmere.exe" /f \
    </dev/null >/dev/null 2>&1 || fail "could not set the Run value"
echo 'C:\kept\by\the\user.dll' >"$install_dir/ignore.lst"
(cd "$install_dir" && "$wine_run" quillmere-cli.exe schedule add --date 2030-01-01 --time 10:00 </dev/null >/dev/null) ||
    fail "schedule add"
[ -n "$(cd "$checker" && "$wine_run" quillmere-cli.exe schedule list </dev/null)" ] || fail "schedule list shows no schedule"

# ---------------------------------------------------------------- silent uninstall (keep data)
(cd "$drive_c" && "$wine_run" "$win_install_dir\\uninstall.exe" /S </dev/null) || fail "uninstall.exe /S exited with $?"
wait_gone "$install_dir/uninstall.exe" || fail "uninstall.exe is still there"
for f in quillmere.exe quillmere-cli.exe; do
    [ ! -e "$install_dir/$f" ] || fail "$f is still installed"
done
[ ! -e "$shortcut" ] || fail "the Start-menu shortcut is still there"
[ -z "$(reg_value "$uninstall_key" DisplayName)" ] || fail "the uninstall entry is still there"
[ -z "$(reg_value "$run_key" QUILLMERE)" ] || fail "the Run value QUILLMERE is still there"
[ -z "$(cd "$checker" && "$wine_run" quillmere-cli.exe schedule list </dev/null)" ] ||
    fail "the scheduled scan is still there"
# The question's default: settings and the ignore list stay.
[ -f "$install_dir/ignore.lst" ] || fail "a silent uninstall removed the ignore list"
[ "$(cd "$checker" && "$wine_run" quillmere-cli.exe settings get savereg </dev/null | tr -d '\r')" = on ] ||
    fail "a silent uninstall removed the settings"

scan_findings "$checker" quillmere-cli.exe "$work/uninstalled.txt"
if [ -n "$(new_findings "$work/fresh.txt" "$work/uninstalled.txt")" ]; then
    fail "the scan after the uninstall reports what the fresh prefix did not:"
    new_findings "$work/fresh.txt" "$work/uninstalled.txt" >&2
fi

# ---------------------------------------------------------------- install again, remove the data too
(cd "$drive_c" && "$wine_run" quillmere-setup.exe /S </dev/null) || fail "second quillmere-setup.exe /S exited with $?"
[ -f "$install_dir/ignore.lst" ] || fail "installing again removed the kept ignore list"
mkdir -p "$install_dir/Registry Backups"
echo backup >"$install_dir/Registry Backups/2026-12-06_05-06-45.reg"
echo '<registry/>' >"$install_dir/FixedOnSundayDecember062026050645.xml"
(cd "$drive_c" && "$wine_run" "$win_install_dir\\uninstall.exe" /S /REMOVEDATA </dev/null) ||
    fail "uninstall.exe /S /REMOVEDATA exited with $?"
wait_gone "$install_dir" || fail "the install folder is still there after /REMOVEDATA: $(ls -A "$install_dir")"
[ "$(cd "$checker" && "$wine_run" quillmere-cli.exe settings get savereg </dev/null | tr -d '\r')" = off ] ||
    fail "/REMOVEDATA kept the settings"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "install cycle: all checks passed"
