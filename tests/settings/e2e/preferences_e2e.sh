#!/bin/bash
# The real Savanto.exe under Wine on a private X display: Ctrl+P opens the
# Preferences dialog, a mouse click on its "Copy" tab shows the Copy page,
# keys choose "Use default folder" and type the folder and the renaming rule,
# Enter confirms. The registry must hold the new values, and Ctrl+A, Ctrl+T
# must then copy a simulated iPod's tracks into that folder under that rule.
# A screenshot of each page is left under <build>/e2e/.
# Usage: preferences_e2e.sh <build dir> <source dir>
set -euo pipefail
b=$(cd "$1" && pwd); src=$(cd "$2" && pwd)
tracks=12 media_bytes=20000 name="Prefs E2E iPod"
rule='<album>\<track> <title>'
. "$src/scripts/wine-prefix.sh"

prefix=wineprefix-prefs-e2e work=$b/prefs-e2e
drive=$(xprefix_drive "$b" $prefix)
pwine() { xwine_in "$b" $prefix "$@"; }
winpath() { echo "Z:$1" | tr / '\\'; }
probe() { pwine "$b/tests/settings/prefs_probe.exe" "$@" 2>/dev/null | tr -d '\r'; }
shots=$b/e2e

fail() {
  import -window root "$shots/prefs-failure.png" 2>/dev/null || true
  echo "FAIL: $* (screen in $shots/prefs-failure.png)"
  exit 1
}

click_at() {  # click_at "X Y": a real button press through the X server
  # shellcheck disable=SC2086
  xdotool mousemove --sync $1 click 1
}
until_probe() {  # until_probe <expected> <probe args...>: polls the dialog's state
  local want=$1; shift
  for _ in $(seq 1 100); do [ "$(probe "$@")" = "$want" ] && return 0; sleep 0.1; done
  return 1
}
tab_to() {  # tab_to <control id>: Tab until that control has the focus
  for _ in $(seq 1 12); do
    [ "$(probe focus)" = "$1" ] && return 0
    xdotool key Tab
  done
  [ "$(probe focus)" = "$1" ]
}

xsession_start "$b" $prefix
rm -rf "$drive" "$work" && mkdir -p "$drive" "$work" "$shots"
pwine "$b/tools/make_sample_ipod.exe" "$(winpath "$drive")" --tracks $tracks --name "$name" \
  --media-bytes $media_bytes >/dev/null
key='HKCU\Software\Quillmere\Savanto'
pwine reg delete "$key" /f >/dev/null 2>&1 || true
pwine reg add "$key" /v CheckForUpdates /t REG_DWORD /d 0 /f >/dev/null 2>&1
pwine reg add "$key" /v StartupIpodScan /t REG_DWORD /d 1 /f >/dev/null 2>&1
pwine reg add "$key" /v AskForDestPath /t REG_DWORD /d 1 /f >/dev/null 2>&1
pwine reg add "$key" /v DefaultDestPath /t REG_SZ /d "$(winpath "$work/old")" /f >/dev/null 2>&1

cd "$work"   # transfer_log.txt lands here
pwine "$b/src/Savanto.exe" >/dev/null 2>&1 &
savanto_pid=$!
window=$(xwait_window "Savanto - iPod Backup Tool" 120) || fail "no main window"
pwine "$b/tests/ui/savanto_probe.exe" wait $tracks "$name" 120 >/dev/null || fail "the tracks did not appear"

xactivate_main "$window" "$b" $prefix || fail "the main window could not be activated"
xdotool key ctrl+p
dialog=$(xwait_window "Preferences" 30) || fail "Ctrl+P opened no Preferences dialog"
until_probe General page || fail "the General page is not shown first"
sleep 0.3   # painted before the picture
import -frame -window "$dialog" "$shots/preferences-general.png"

click_at "$(probe tab 1)"
until_probe Copy page || fail "a click on the Copy tab did not show the Copy page"
# The checked button of a radio pair is its tab stop; an arrow key moves the
# choice to the other button.
xactivate "$dialog" || fail "the dialog could not be activated"
tab_to 1084 || fail "Tab does not reach \"Ask before copy\""
xdotool key Down
until_probe 1085 focus || fail "the Down key did not move to \"Use default folder\""
tab_to 1028 || fail "Tab does not reach the folder field"
folder=$(winpath "$work/chosen")
xdotool type --delay 20 "$folder"
tab_to 1029 || fail "Tab does not reach the renaming rule"
xdotool type --delay 20 "$rule"
sleep 0.3
import -frame -window "$dialog" "$shots/preferences-copy.png"
xdotool key Return
for _ in $(seq 1 100); do xdotool search --name "^Preferences$" >/dev/null 2>&1 || break; sleep 0.1; done
xdotool search --name "^Preferences$" >/dev/null 2>&1 && fail "Enter did not close the dialog"

stored=$(probe stored)
expected="DefaultDestPath=$folder
NamingConvertion=$rule
EnableTooltips=1
StartupIpodScan=1
CheckForUpdates=0
TransferOverwrite=1
AskForDestPath=0"
[ "$stored" = "$expected" ] || fail "the registry holds
$stored
instead of
$expected"

xactivate_main "$window" "$b" $prefix || fail "the main window could not be activated again"
xdotool key ctrl+a
pwine "$b/tests/ui/savanto_probe.exe" ticked $tracks 20 >/dev/null || fail "Ctrl+A did not tick every row"
xdotool key ctrl+t
# A run this small can end before its progress dialog is seen: its end is
# its rows unticked, and no dialog left.
pwine "$b/tests/ui/savanto_probe.exe" ticked 0 300 >/dev/null || fail "Ctrl+T: the copy did not end with its rows unticked"
xwait_gone "Copying\.\.\." 60 || fail "the progress dialog did not close"
[ -d "$work/old" ] && fail "copies went to the old default folder"
pwine "$b/tests/backup/copy_e2e_check.exe" $tracks $media_bytes "$folder" "$(winpath "$work/transfer_log.txt")" \
  "$rule" || fail "the copies or the log are not as expected"

pwine "$b/tests/ui/savanto_probe.exe" close >/dev/null || true
for _ in $(seq 1 300); do kill -0 "$savanto_pid" 2>/dev/null || break; sleep 0.1; done
echo "PASS: screenshots $shots/preferences-general.png $shots/preferences-copy.png"
