#!/bin/bash
# The real Savanto.exe under Wine on a private X display ejects a simulated
# iPod mapped as E:. Wine refuses the dismount, so Ctrl+E must end in the
# "iPod Eject Error" box; a key dismisses it and Savanto is as before: the
# selector and the Scan button enabled, the tracks still listed, and Ctrl+E
# (so the Eject item) working again. With E: mapped as a fixed disk, Ctrl+E
# shows the drive-type box and then the error box, in that order. A
# screenshot of the error box is left under <build>/e2e/.
# Then a second simulated iPod comes and goes while Savanto runs: its drive F:
# is defined through Wine's mount manager (a drive link made after the Wine
# server started would break the volume query), and the probe sends the
# WM_DEVICECHANGE that Windows sends (Wine's mount manager sends none to a
# desktop window): the selector lists it with the first iPod still loaded,
# and drops it again on its removal.
# Usage: eject_e2e.sh <build dir> <source dir>
set -euo pipefail
b=$(cd "$1" && pwd); src=$(cd "$2" && pwd)
tracks=16 name="Eject E2E iPod" prefix=wineprefix-eject-e2e
. "$src/scripts/wine-prefix.sh"
drive=$(xprefix_drive "$b" $prefix)
ewine() { xwine_in "$b" $prefix "$@"; }
probe() { ewine "$b/tests/ui/savanto_probe.exe" "$@"; }
error_text='Cannot eject the iPod. Make sure iTunes or other application is not accessing the iPod and try again.'
type_text='Cannot eject. Drive type is incorrect.\n'

savanto_pid=""
stop_savanto() {
  [ -n "$savanto_pid" ] || return 0
  probe close >/dev/null 2>&1 || true
  for _ in $(seq 1 100); do kill -0 "$savanto_pid" 2>/dev/null || break; sleep 0.1; done
  xprefix_stop "$b" $prefix
  wait "$savanto_pid" 2>/dev/null || true
  savanto_pid=""
}
xsession_before_stop() { stop_savanto; }
mkdir -p "$b/e2e"
fail() { import -window root "$b/e2e/eject-failure.png" 2>/dev/null || true; echo "FAIL: $* (screen in $b/e2e/eject-failure.png)"; exit 1; }

# Wine's mount manager reads the drive types when it starts: each change is
# followed by a fresh wineserver.
map_e_as() {  # floppy (removable) or fixed
  if [ "$1" = fixed ]; then
    ewine reg delete 'HKLM\Software\Wine\Drives' /v e: /f >/dev/null 2>&1 || true
  else
    ewine reg add 'HKLM\Software\Wine\Drives' /v e: /t REG_SZ /d floppy /f >/dev/null 2>&1
  fi
  xprefix_stop "$b" $prefix
}

start_savanto() {
  ewine "$b/src/Savanto.exe" >/dev/null 2>&1 &
  savanto_pid=$!
  window=$(xwait_window "Savanto - iPod Backup Tool" 120) || fail "no main window"
  probe wait $tracks "$name" 120 >/dev/null || fail "the tracks did not appear"
}

ctrl_e() {
  xactivate_main "$window" "$b" $prefix || fail "the main window could not be activated"
  xdotool key ctrl+e
}

# expect_box <caption> <text>: the box is up with that text; prints its X id.
expect_box() {
  local w seen
  w=$(xwait_window "$1" 60) || fail "no \"$1\" box"
  seen=$(probe box "$1" 10 | tr -d '\r') || fail "the \"$1\" box has no text"
  [ "$seen" = "$2" ] || fail "the \"$1\" box says \"$seen\""
  echo "$w"
}

dismiss() {  # dismiss <X window> <caption>
  xactivate "$1" || fail "the \"$2\" box could not be activated"
  xdotool key Return
  xwait_gone "$2" 10 || fail "the \"$2\" box did not close on Return"
}

controls=""
expect_back_to_normal() {
  probe wait $tracks "$name" 30 >/dev/null || fail "the tracks are no longer listed"
  controls=$(probe controls | tr -d '\r')
  case "$controls" in
    "selector=1 scan=1 eject="[1?]) ;;
    *) fail "controls after the error box: $controls" ;;
  esac
}

xsession_start "$b" $prefix
rm -rf "$drive" && mkdir -p "$drive"
ewine "$b/tools/make_sample_ipod.exe" "Z:$drive" --tracks $tracks --name "$name" --no-media >/dev/null
ewine reg add 'HKCU\Software\Quillmere\Savanto' /v StartupIpodScan /t REG_DWORD /d 1 /f >/dev/null 2>&1

# Under Wine another process may not read the menu ("eject=?"): the second
# Ctrl+E of the first run then shows that the item was enabled again.

# 1. Removable: the lock is granted, the dismount refused.
map_e_as floppy
start_savanto
shot=$b/e2e/eject-error-box.png
for round in 1 2; do   # the second round needs the Eject item enabled again
  ctrl_e
  box=$(expect_box "iPod Eject Error" "$error_text")
  [ $round = 1 ] && import -window root "$shot"
  xdotool search --name "^Cannot eject\$" >/dev/null 2>&1 && fail "a drive-type box on a removable drive"
  dismiss "$box" "iPod Eject Error"
  expect_back_to_normal
done
stop_savanto

# 2. Fixed disk: two boxes in turn.
map_e_as fixed
start_savanto
ctrl_e
box=$(expect_box "Cannot eject" "$type_text")
xdotool search --name "^iPod Eject Error\$" >/dev/null 2>&1 && fail "the error box came before the drive-type box"
dismiss "$box" "Cannot eject"
box=$(expect_box "iPod Eject Error" "$error_text")
dismiss "$box" "iPod Eject Error"
expect_back_to_normal
stop_savanto
map_e_as floppy

# 3. A second iPod arrives and is removed.
second="$b/$prefix-f" second_name="Second E2E iPod"
rm -rf "$second" && mkdir -p "$second"
ewine "$b/tools/make_sample_ipod.exe" "Z:$second" --tracks 5 --name "$second_name" --no-media >/dev/null
expect_selector() {  # expect_selector <what the probe's selector prints> <after what>
  for _ in $(seq 1 100); do seen=$(probe selector | tr -d '\r'); [ "$seen" = "$1" ] && return; sleep 0.2; done
  fail "after the $2 the selector shows: $seen"
}
start_savanto
probe drive F "$second" && probe volume arrival F || fail "F: could not be defined and announced"
expect_selector "$name*; $second_name; $tracks rows" arrival
probe drive F - && probe volume removal F || fail "F: could not be removed and announced"
expect_selector "$name*; $tracks rows" removal
stop_savanto
rm -rf "$second"
echo "PASS: after the boxes $controls; F: came and went; screenshot $shot"
