#!/bin/bash
# Shows Savanto on a sample iPod. Installs and builds what is missing, fills a
# simulated iPod, maps it as drive E: of a private Wine prefix and starts
# Savanto.exe on it: on your display when DISPLAY is set (close the window to
# end), else on a private headless display, saving a screenshot.
# Usage: scripts/demo.sh [i686|x86_64]   (default i686, the shipped build)
# DEMO_TRACKS=N sets the number of tracks; DEMO_COMPRESSED=1 makes the iPod a
# newer one, its database compressed in iTunesCDB beside an empty iTunesDB.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-i686}
case $target in i686|x86_64) ;; *) echo "usage: scripts/demo.sh [i686|x86_64]" >&2; exit 2 ;; esac
b=build/$target
tracks=${DEMO_TRACKS:-120}
sample_args=()
[ "${DEMO_COMPRESSED:-0}" = 1 ] && sample_args=(--compressed)
prefix=wineprefix-demo

./scripts/setup.sh
./scripts/build.sh "$target"
. scripts/wine-prefix.sh
b=$(cd "$b" && pwd)
drive=$(xprefix_drive "$b" $prefix)

headless=0
[ -n "${DISPLAY:-}" ] || headless=1
cleanup() {
  xprefix_stop "$b" $prefix
  [ $headless -eq 1 ] && xdisplay_stop
  return 0
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP   # so that the cleanup runs on those too
[ $headless -eq 1 ] && xdisplay_start

xprefix_init "$b" $prefix
rm -rf "$drive" && mkdir -p "$drive"
xwine_in "$b" $prefix "$b/tools/make_sample_ipod.exe" "Z:$drive" --tracks "$tracks" --name "Savanto Sample iPod" \
  "${sample_args[@]}"
xwine_in "$b" $prefix reg add 'HKCU\Software\Quillmere\Savanto' /v StartupIpodScan /t REG_DWORD /d 1 /f >/dev/null 2>&1

if [ $headless -eq 0 ]; then
  echo "demo: Savanto is starting on $DISPLAY with the sample iPod as E: (close its window to end)"
  xwine_in "$b" $prefix "$b/src/Savanto.exe"
  exit 0
fi

xwine_in "$b" $prefix "$b/src/Savanto.exe" >/dev/null 2>&1 &
window=$(xwait_window "Savanto - iPod Backup Tool" 300) || { echo "demo: Savanto's window did not open" >&2; exit 1; }
xwine_in "$b" $prefix "$b/tests/ui/savanto_probe.exe" wait "$tracks" "Savanto Sample iPod" 300 || true
sleep 0.5
mkdir -p "$b/demo"
shot=$b/demo/savanto-demo.png
import -frame -window "$window" "$shot"
xwine_in "$b" $prefix "$b/tests/ui/savanto_probe.exe" close || true
echo "demo: no display, so Savanto ran headless; its window: $shot"
