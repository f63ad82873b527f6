#!/bin/bash
# The real Savanto.exe under Wine on a private X display copies every track of
# a simulated iPod mapped as E:: Ctrl+A ticks them all, Ctrl+T copies them to
# the default folder. Every copy must equal its source under the renaming
# rule's name and transfer_log.txt must list them; a screenshot of the
# progress dialog is left under <build>/e2e/.
# With "playlists", the options "Write playlist files when copying" and
# "Write library file when copying" are first switched on from the Options
# menu with the keyboard (Alt+O, F and Alt+O, B), and Savanto runs in a time
# zone with summer time; every playlist must then have its .m3u8 naming the
# copies, the library file must parse as a property list whose tracks carry
# the history merged from the iPod's Play Counts and locate byte-identical
# copies, and both options must be saved when Savanto closes.
# With "compressed", the iPod is a newer one: its database is compressed in
# iTunesCDB beside a zero-byte iTunesDB.
# Usage: copy_e2e.sh <build dir> <source dir> [playlists|compressed]
set -euo pipefail
b=$(cd "$1" && pwd); src=$(cd "$2" && pwd); mode=${3:-copy}
tracks=40 playlists=3 media_bytes=1500000 name="Copy E2E iPod"
. "$src/scripts/wine-prefix.sh"
sample_args=(); [ "$mode" = compressed ] && sample_args=(--compressed)

# A display prefix of its own: the UI's end-to-end test may run at the same time.
prefix=wineprefix-$mode-e2e work=$b/$mode-e2e
drive=$(xprefix_drive "$b" $prefix)
cwine() { xwine_in "$b" $prefix "$@"; }
winpath() { echo "Z:$1" | tr / '\\'; }

fail() { import -window root "$b/e2e/$mode-failure.png" 2>/dev/null || true; echo "FAIL: $* (screen in $b/e2e/$mode-failure.png)"; exit 1; }

xsession_start "$b" $prefix

rm -rf "$drive" "$work" && mkdir -p "$drive" "$work" "$b/e2e"
cwine "$b/tools/make_sample_ipod.exe" "$(winpath "$drive")" --tracks $tracks --name "$name" \
  --media-bytes $media_bytes "${sample_args[@]}" >/dev/null
if [ "$mode" = compressed ]; then
  [ -s "$drive/iPod_Control/iTunes/iTunesCDB" ] && [ ! -s "$drive/iPod_Control/iTunes/iTunesDB" ] ||
    fail "the sample iPod has no compressed database beside an empty iTunesDB"
fi
key='HKCU\Software\Quillmere\Savanto'
cwine reg delete "$key" /f >/dev/null 2>&1 || true
cwine reg add "$key" /v CheckForUpdates /t REG_DWORD /d 0 /f >/dev/null 2>&1
cwine reg add "$key" /v StartupIpodScan /t REG_DWORD /d 1 /f >/dev/null 2>&1
cwine reg add "$key" /v AskForDestPath /t REG_DWORD /d 0 /f >/dev/null 2>&1
cwine reg add "$key" /v TransferOverwrite /t REG_DWORD /d 1 /f >/dev/null 2>&1
cwine reg add "$key" /v DefaultDestPath /t REG_SZ /d "$(winpath "$work/dest")" /f >/dev/null 2>&1

# transfer_log.txt lands in the current folder.
cd "$work"
zone=Europe/Berlin
TZ=$zone cwine "$b/src/Savanto.exe" >/dev/null 2>&1 &
savanto_pid=$!
window=$(xwait_window "Savanto - iPod Backup Tool" 120) || fail "no main window"
seen=$(cwine "$b/tests/ui/savanto_probe.exe" wait $tracks "$name" 120) || fail "the tracks did not appear: $seen"
grep -q "; $playlists playlist(s);" <<<"$seen" || fail "not $playlists playlists: $seen"

xactivate "$window" || fail "the main window could not be activated"
if [ "$mode" = playlists ]; then
  xdotool key alt+o f
  xdotool key alt+o b
fi
xdotool key ctrl+a
xdotool key ctrl+t

dialog=$(xwait_window "Copying\.\.\." 60) || fail "no progress dialog after Ctrl+A, Ctrl+T"
sleep 0.5   # a few chunks in, so the bars show progress
shot=$b/e2e/$mode-progress-dialog.png
import -window root "$shot"

# The run has ended when its dialog is gone; the dialog closes the log as it goes.
for _ in $(seq 1 3000); do
  xdotool search --name "^Copying" >/dev/null 2>&1 || break
  sleep 0.1
done
xdotool search --name "^Copying" >/dev/null 2>&1 && fail "the copy did not end"

check=copy_e2e_check extra=()
if [ "$mode" = playlists ]; then
  check=playlist_e2e_check extra=("$(winpath "$work/library.tsv")")
  python3 "$src/tests/backup/e2e/library_dump.py" "$work/dest/$name Library.xml" $zone "$work/library.tsv" ||
    fail "the library file is not a sound property list"
fi
cwine "$b/tests/backup/$check.exe" $tracks $media_bytes "$(winpath "$work/dest")" \
  "$(winpath "$work/transfer_log.txt")" "${extra[@]}" || fail "the copies, playlists, library file or log are not as expected"
cwine "$b/tests/ui/savanto_probe.exe" close >/dev/null || true
for _ in $(seq 1 300); do kill -0 "$savanto_pid" 2>/dev/null || break; sleep 0.1; done
if [ "$mode" = playlists ]; then
  for value in WritePlaylists WriteLibraryFile; do
    cwine reg query "$key" /v $value 2>/dev/null | grep -q 'REG_DWORD.*0x1' || fail "$value was not saved as 1"
  done
fi
echo "PASS: screenshot $shot"
