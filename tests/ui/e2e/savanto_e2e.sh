#!/bin/bash
# The real Savanto.exe under Wine on a private X display, with a simulated
# iPod of 5,000 tracks mapped as E:. It must start, scan, load the iPod and
# list every track; a screenshot of its main window is left under <build>/e2e/.
# Then at 144 DPI: the first column 384 pixels (256 at 96), the splitter bar 6
# (4); pictures of the main window and the About box at 144 DPI are kept too.
# Usage: savanto_e2e.sh <build dir> <source dir>
set -euo pipefail
b=$(cd "$1" && pwd); src=$(cd "$2" && pwd)
tracks=5000 name="E2E Sample iPod" prefix=wineprefix-ui-e2e
. "$src/scripts/wine-prefix.sh"
drive=$(xprefix_drive "$b" $prefix)
# "column=<first column's width> bar=<splitter bar's width>", after a drag of the splitter.
sizes_are() { sizes=$(probe sizes | tr -d '\r'); [ "$sizes" = "$1" ] || { echo "FAIL: $sizes, not $1"; exit 1; }; }

XDISPLAY_SCREEN=1600x1200x24 xsession_start "$b" $prefix   # room for the window at 150 %
rm -rf "$drive" && mkdir -p "$drive"
xwine_in "$b" $prefix "$b/tools/make_sample_ipod.exe" "Z:$drive" --tracks $tracks --name "$name" --no-media >/dev/null
xwine_in "$b" $prefix reg add 'HKCU\Software\Quillmere\Savanto' /v StartupIpodScan /t REG_DWORD /d 1 /f >/dev/null 2>&1
xwine_in "$b" $prefix reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1

xwine_in "$b" $prefix "$b/src/Savanto.exe" >/dev/null 2>&1 &
savanto_pid=$!
window=$(xwait_window "Savanto - iPod Backup Tool" 120) || { echo "FAIL: no main window"; exit 1; }
mkdir -p "$b/e2e"
shot=$b/e2e/savanto-main-window.png
probe() { xwine_in "$b" $prefix "$b/tests/ui/savanto_probe.exe" "$@"; }
if ! probe wait $tracks "$name" 120; then
  import -window root "$shot" 2>/dev/null || true
  echo "FAIL: the tracks did not appear (screen in $shot)"; exit 1
fi
sleep 0.5   # let the list finish painting before the picture
import -frame -window "$window" "$shot"
sizes_are "column=256 bar=4"
probe close
for _ in $(seq 1 300); do kill -0 "$savanto_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$savanto_pid" 2>/dev/null; then echo "FAIL: Savanto did not end after WM_CLOSE"; exit 1; fi
# Closing saved every preference, also those that were never stored.
xwine_in "$b" $prefix reg query 'HKCU\Software\Quillmere\Savanto' /v GridLines 2>/dev/null | grep -q 0x1 ||
  { echo "FAIL: the settings were not saved at the close"; exit 1; }

xwine_in "$b" $prefix reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
shot144=$b/e2e/savanto-main-window-144dpi.png about144=$b/e2e/about-box-144dpi.png
xwine_in "$b" $prefix "$b/src/Savanto.exe" >/dev/null 2>&1 &
savanto_pid=$!
window=$(xwait_window "Savanto - iPod Backup Tool" 120) || { echo "FAIL: no main window at 144 DPI"; exit 1; }
probe wait $tracks "$name" 120 || { echo "FAIL: the tracks did not appear at 144 DPI"; exit 1; }
sleep 0.5
import -frame -window "$window" "$shot144"
sizes_are "column=384 bar=6"
xactivate_main "$window" "$b" $prefix && xdotool key alt+a
about=$(xwait_window "About Savanto" 30) || { echo "FAIL: no About box at 144 DPI"; exit 1; }
sleep 0.5
import -frame -window "$about" "$about144"
probe close   # the session's end stops whatever is left
echo "PASS: screenshots $shot, $shot144 and $about144"
