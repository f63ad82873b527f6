#!/bin/bash
# The real Savanto.exe under Wine on a private X display copies every track of
# a simulated iPod mapped as E:: Ctrl+A ticks them all, Ctrl+T copies them to
# the default folder. Every copy must equal its source under the renaming
# rule's name and transfer_log.txt must list them; a screenshot of the
# progress dialog is left under <build>/e2e/.
# With "playlists", the options "Write playlist files when copying" and
# "Write library file when copying" are first switched on from the Options
# menu with the keyboard (Alt+O, F and Alt+O, B), and Savanto runs in a time
# zone with summer time; its rule is "<artist>\<title>" and its iPod's last
# tracks have awkward names (make_sample_ipod --awkward): all must land. Every
# playlist must then have its .m3u8 naming the copies, the library file must
# parse as a property list whose tracks carry the history merged from the
# iPod's Play Counts and locate byte-identical copies, and both options must
# be saved when Savanto closes. Then the older of two tracks of one name
# leaves the iPod and a second run copies into the same folder: every copy
# keeps its name, nothing is overwritten, and the library file and the index
# give each track its own copy.
# After every run Ctrl+A must tick every row without a click.
# The plain and compressed runs' iPods carry covers, and every album folder
# with one must get a folder.jpg that decodes to it (and none without one).
# With "compressed", the iPod is a newer one: its database is compressed in
# iTunesCDB beside a zero-byte iTunesDB.
# With "faults", the destination folder is a RAM disk of 256 KiB (a tmpfs the
# test mounts as root), too small for the tracks of 1 to 48 KiB: the run fills
# it. An item the log reports failed must leave no file and stay ticked, the
# others must be whole copies, and the end message must say that the disk is
# full. Then the disk is remounted read-only and Copy pressed again: exactly
# the items still ticked are tried, and all fail. The disk is unmounted once
# Wine's server has stopped. Where the machine does not allow the mount, the
# test says so and is skipped (exit code 77).
# The plain run starts Savanto as installed, in a read-only RAM disk with help.chm:
# the log must be in the local application data, and F1 must open the help.
# Usage: copy_e2e.sh <build dir> <source dir> [playlists|compressed|faults]
set -euo pipefail
b=$(cd "$1" && pwd); src=$(cd "$2" && pwd); mode=${3:-copy}
tracks=40 playlists=3 media_bytes=1500000 name="Copy E2E iPod"
[ "$mode" = faults ] && media_bytes=0   # each file its own size, 1 to 48 KiB
. "$src/scripts/wine-prefix.sh"
# Covers as the iPod classic keeps them (one image per album, through the
# tracks' links) and, on the newer iPod, as the iPod video did (one per track).
covers=(); [ "$mode" = copy ] && covers=(--covers classic)
[ "$mode" = compressed ] && covers=(--covers video)
sample_args=("${covers[@]}"); [ "$mode" = compressed ] && sample_args+=(--compressed)
[ "$mode" = playlists ] && sample_args=(--awkward)
rule='<artist>\<title>'

# A display prefix of its own: the UI's end-to-end test may run at the same time.
prefix=wineprefix-$mode-e2e work=$b/$mode-e2e
drive=$(xprefix_drive "$b" $prefix)
cwine() { xwine_in "$b" $prefix "$@"; }
winpath() { echo "Z:$1" | tr / '\\'; }

fail() { import -window root "$b/e2e/$mode-failure.png" 2>/dev/null || true; echo "FAIL: $* (screen in $b/e2e/$mode-failure.png)"; exit 1; }

# The paths of the items a run tried, and of those that failed, from its log.
log_text() { iconv -f UTF-16LE -t UTF-8 "$1" | tr -d '\r'; }
tried_items() { log_text "$1" | sed -n 's/^copying: //p'; }
failed_items() { log_text "$1" | sed -n 's/^failed: \(.*\) ([^()]*)$/\1/p' | grep -v '\\\.savanto-index$' || true; }
# The end message's sentence for an index the run could not write, as the log says.
index_note() {
  if log_text "$1" | grep -q '^failed: .*\\\.savanto-index ('; then
    printf '%s' '\nThe playlist, library or index files could not all be written either (1 failed).'
  fi
}

# The run's end message: <text> exactly; dismissed with Return. Then the
# tracks that failed are the ones still ticked.
expect_failed_run_box() {  # expect_failed_run_box <text> <ticked>
  local box seen ticked
  box=$(xwait_window Savanto 60) || fail "no message box after a run with failures"
  seen=$(cwine "$b/tests/ui/savanto_probe.exe" box Savanto 10 | tr -d '\r')
  [ "$seen" = "$1" ] || fail "the end message says \"$seen\", not \"$1\""
  xactivate "$box" && xdotool key Return && xwait_gone Savanto 10 || fail "the end message did not close on Return"
  ticked=$(cwine "$b/tests/ui/savanto_probe.exe" ticked "$2" 20) || fail "not the failed tracks ticked: $ticked"
}

# On the disk remounted read-only, Copy alone (the failed tracks are still
# ticked) must try and fail exactly the items that found the disk full.
read_only_run() {
  local left n
  cp "$log" "$work/full-disk.log"
  left=$(failed_items "$work/full-disk.log") n=$(failed_items "$work/full-disk.log" | wc -l)
  expect_failed_run_box "The destination disk is full: $n of $tracks tracks could not be copied.\nThey are still ticked.$(index_note "$work/full-disk.log") The transfer log lists why:\n$(winpath "$log")" $n
  ramdisk_readonly "$work/dest" || fail "the RAM disk could not be remounted read-only"
  xactivate_main "$window" "$b" $prefix || fail "the main window could not be activated"
  xdotool key ctrl+t
  # Items that fail at once can end the run before its dialog is seen: its
  # end message, shown once the run and its log are done, is what counts.
  xwait_window Savanto 300 >/dev/null || fail "the copy on the read-only disk did not end with a message"
  cp "$log" "$work/read-only.log"
  [ "$(tried_items "$work/read-only.log")" = "$left" ] && [ "$(failed_items "$work/read-only.log")" = "$left" ] ||
    fail "the read-only run did not try and fail exactly the items the full disk refused ($work/read-only.log)"
  expect_failed_run_box "$n of $n tracks could not be copied.\nThey are still ticked.$(index_note "$work/read-only.log") The transfer log lists why:\n$(winpath "$log")" $n
}

program=$b/$mode-e2e-program start=$work exe=$b/src/Savanto.exe log=$work/transfer_log.txt
# Both RAM disks go once Wine's server has stopped, when nothing holds them.
xsession_before_stop() { xprefix_stop "$b" $prefix; ramdisk_unmount "$program"; ramdisk_unmount "$work/dest"; }
xsession_start "$b" $prefix

ramdisk_unmount "$program"; ramdisk_unmount "$work/dest"   # left by an interrupted run
rm -rf "$drive" "$work" "$program" && mkdir -p "$drive" "$work/dest" "$b/e2e"
if [ "$mode" = copy ] && ramdisk_mount "$program" 32m; then
  cp "$b/src/Savanto.exe" "$b/src/help.chm" "$program/"
  ramdisk_readonly "$program"
  start=$program exe=$program/Savanto.exe log=$b/$prefix/drive_c/users/$(id -un)/AppData/Local/Savanto/transfer_log.txt
  rm -rf "$(dirname "$log")"   # Savanto must make its folder
elif [ "$mode" = copy ]; then
  echo "SKIP (read-only program folder): no RAM disk can be mounted here"
fi
if [ "$mode" = faults ] && ! ramdisk_mount "$work/dest" 256k; then
  echo "SKIP: this machine does not let the test mount a RAM disk (tmpfs) as the destination (needs root)"
  exit 77
fi
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
if [ "$mode" = playlists ]; then
  cwine reg add "$key" /v NamingConvertion /t REG_SZ /d "$rule" /f >/dev/null 2>&1
fi

cd "$start"
zone=Europe/Berlin
TZ=$zone cwine "$exe" >/dev/null 2>&1 &
savanto_pid=$!
window=$(xwait_window "Savanto - iPod Backup Tool" 120) || fail "no main window"
seen=$(cwine "$b/tests/ui/savanto_probe.exe" wait $tracks "$name" 120) || fail "the tracks did not appear: $seen"
grep -q "; $playlists playlist(s);" <<<"$seen" || fail "not $playlists playlists: $seen"

xactivate_main "$window" "$b" $prefix || fail "the main window could not be activated"
if [ "$mode" = playlists ]; then
  xdotool key alt+o f
  xdotool key alt+o b
fi
xdotool key ctrl+a
ticked=$(cwine "$b/tests/ui/savanto_probe.exe" ticked $tracks 20) || fail "Ctrl+A did not tick every row: $ticked"
xdotool key ctrl+t

# A run of small files can end before its progress dialog is ever seen; the
# dialog is pictured when it is. The run's end is its rows unticked, or with
# failures its end message, which comes once the run and its log are done.
shot=$b/e2e/$mode-progress-dialog.png
rm -f "$shot"
if xwait_window "Copying\.\.\." 2 >/dev/null; then import -window root "$shot" || true; fi
if [ "$mode" = faults ]; then
  xwait_window Savanto 300 >/dev/null || fail "the copy to the full disk did not end with a message"
else
  ticked=$(cwine "$b/tests/ui/savanto_probe.exe" ticked 0 300) || fail "the copy did not end with its rows unticked: $ticked"
fi
xwait_gone "Copying\.\.\." 60 || fail "the progress dialog did not close"

check=(copy_e2e_check "${covers[@]}")
[ "$mode" = faults ] && check=(copy_e2e_check --faults)
if [ "$mode" = playlists ]; then
  check=(playlist_e2e_check "$rule" "$(winpath "$work/library.tsv")")
  python3 "$src/tests/backup/e2e/library_dump.py" "$work/dest/$name Library.xml" $zone "$work/library.tsv" ||
    fail "the library file is not a sound property list"
fi
cwine "$b/tests/backup/${check[0]}.exe" $tracks $media_bytes "$(winpath "$work/dest")" \
  "$(winpath "$log")" "${check[@]:1}" || fail "the copies, playlists, library file or $log are not as expected"
[ "$mode" = faults ] && read_only_run
# No click: the end of the run must have given the main window its keyboard back.
cwine "$b/tests/ui/savanto_probe.exe" keys 20 >/dev/null || fail "the main window did not get the keyboard back"
xdotool key ctrl+a
ticked=$(cwine "$b/tests/ui/savanto_probe.exe" ticked $tracks 20) || fail "Ctrl+A after the run did nothing: $ticked"
if [ "$mode" = playlists ]; then
  # The older of the two tracks named "Twin" leaves the iPod; a scan reloads
  # it and a second run copies into the same folder. Every copy must keep
  # its name and nothing be overwritten: the younger twin stays "Twin (2)".
  dropped=$((tracks - 4))
  cwine "$b/tools/make_sample_ipod.exe" "$(winpath "$drive")" --tracks $tracks --name "$name" \
    --media-bytes $media_bytes "${sample_args[@]}" --drop $dropped >/dev/null
  xactivate_main "$window" "$b" $prefix || fail "the main window could not be activated"
  xdotool key alt+f s
  seen=$(cwine "$b/tests/ui/savanto_probe.exe" wait $((tracks - 1)) "$name" 120) || fail "the scan did not reload the iPod: $seen"
  xactivate_main "$window" "$b" $prefix || fail "the main window could not be activated"
  xdotool key ctrl+a
  ticked=$(cwine "$b/tests/ui/savanto_probe.exe" ticked $((tracks - 1)) 20) || fail "Ctrl+A did not tick every row: $ticked"
  xdotool key ctrl+t
  ticked=$(cwine "$b/tests/ui/savanto_probe.exe" ticked 0 300) || fail "the second copy did not end with its rows unticked: $ticked"
  xwait_gone "Copying\.\.\." 60 || fail "the second progress dialog did not close"
  python3 "$src/tests/backup/e2e/library_dump.py" "$work/dest/$name Library.xml" $zone "$work/library2.tsv" ||
    fail "the second library file is not a sound property list"
  cwine "$b/tests/backup/playlist_e2e_check.exe" $tracks $media_bytes "$(winpath "$work/dest")" "$(winpath "$log")" \
    "$rule" "$(winpath "$work/library2.tsv")" $dropped || fail "after the second run the copies, playlists or index are not as expected"
fi
if [ "$start" = "$program" ]; then
  title=$(sed -n 's/^Title=\(.*\)$/\1/p' "$src/help/savanto.hhp" | tr -d '\r')
  xactivate_main "$window" "$b" $prefix && xdotool key F1 && xwait_window "$title" 60 >/dev/null || fail "F1: no help from $program"
fi
cwine "$b/tests/ui/savanto_probe.exe" close >/dev/null || true
for _ in $(seq 1 300); do kill -0 "$savanto_pid" 2>/dev/null || break; sleep 0.1; done
if [ "$mode" = playlists ]; then
  for value in WritePlaylists WriteLibraryFile; do
    cwine reg query "$key" /v $value 2>/dev/null | grep -q 'REG_DWORD.*0x1' || fail "$value was not saved as 1"
  done
fi
if [ -f "$shot" ]; then echo "PASS: screenshot $shot"; else echo "PASS (the run ended before its dialog could be pictured)"; fi
