#!/bin/bash
# The real Savanto.exe under Wine on a private X display: Alt+A opens the About
# box, whose link is drawn pure blue, and Enter closes it; F1, with help.chm in
# the current directory, opens Wine's help viewer in a window titled with the
# help file's title. Screenshots of both are left under <build>/e2e/.
# Usage: about_help_e2e.sh <build dir> <source dir>
set -euo pipefail
b=$(cd "$1" && pwd); src=$(cd "$2" && pwd)
. "$src/scripts/wine-prefix.sh"

# A display prefix of its own, so that it can run beside the other end-to-end tests.
prefix=wineprefix-about-e2e work=$b/about-e2e
awine() { xwine_in "$b" $prefix "$@"; }
help_title=$(sed -n 's/^Title=\(.*\)$/\1/p' "$src/help/savanto.hhp" | tr -d '\r')

fail() { import -window root "$b/e2e/about-failure.png" 2>/dev/null || true; echo "FAIL: $* (screen in $b/e2e/about-failure.png)"; exit 1; }

xsession_start "$b" $prefix
rm -rf "$work" && mkdir -p "$work" "$b/e2e"
cp "$b/src/help.chm" "$work/"
awine reg add 'HKCU\Software\Quillmere\Savanto' /v StartupIpodScan /t REG_DWORD /d 0 /f >/dev/null 2>&1

# help.chm is looked for in the current directory.
cd "$work"
awine "$b/src/Savanto.exe" >/dev/null 2>&1 &
savanto_pid=$!
main=$(xwait_window "Savanto - iPod Backup Tool" 120) || fail "no main window"
xactivate_main "$main" "$b" $prefix || fail "the main window could not be activated"

xdotool key alt+a
about=$(xwait_window "About Savanto" 30) || fail "no About box after Alt+A"
sleep 0.5   # let it finish painting before the picture
about_shot=$b/e2e/about-box.png
import -frame -window "$about" "$about_shot"
# The link is the only text in the box's lowest eighth; it must be drawn in
# pure blue (anti-aliased edges may add other shades).
read -r width height < <(identify -format '%w %h\n' "$about_shot")
blue=$(convert "$about_shot" -crop "${width}x$((height / 8))+0+$((height - height / 8))" +repage \
         -fill black +opaque '#0000FF' -fill white -opaque '#0000FF' -format '%[fx:round(mean*w*h)]' info:)
[ "$blue" -gt 20 ] || fail "the link has $blue pure blue pixels in $about_shot"

xactivate "$about" || fail "the About box could not be activated"
xdotool key Return
xwait_gone "About Savanto" 30 || fail "Enter did not close the About box"

xactivate_main "$main" "$b" $prefix || fail "the main window could not be activated again"
xdotool key F1
viewer=$(xwait_window "$help_title" 60) || fail "no help viewer titled \"$help_title\" after F1"
sleep 1
help_shot=$b/e2e/help-viewer.png
import -frame -window "$viewer" "$help_shot"

awine "$b/tests/ui/savanto_probe.exe" close >/dev/null || true
for _ in $(seq 1 300); do kill -0 "$savanto_pid" 2>/dev/null || break; sleep 0.1; done
echo "PASS: link with $blue pure blue pixels; screenshots $about_shot and $help_shot"
