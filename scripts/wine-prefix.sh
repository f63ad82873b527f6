# Sourced by the project's scripts: the private Wine prefixes of a build directory.
# A build directory <b> (build/i686 or build/x86_64) owns:
#   <b>/wineprefix        the prefix its tests run in (windows without a display)
#   <b>/drives/<letter>   folders mapped as drive letters of that prefix, which
#                         tests fill with simulated iPods
# Drive links must exist before the wineserver starts, so they are made here, once.

SAVANTO_DRIVE_LETTERS="b e f g h"
WINESERVER=/usr/lib/wine/wineserver64

wine_in() {  # wine_in <builddir> <program> [args...]
  local b=$1; shift
  "$b/wine-run" "$@"
}

# Drive F: carries a volume label, for the tests of iPods named by theirs. Wine
# reads it when its services start, so it is written before prefix_start.
SAVANTO_F_LABEL="SAVANTO F"

prefix_init() {  # prefix_init <builddir>
  local b p l
  b=$(cd "$1" && pwd); p=$b/wineprefix
  mkdir -p "$b/drives/f"
  printf '%s' "$SAVANTO_F_LABEL" > "$b/drives/f/.windows-label"
  [ -f "$p/.savanto-ready" ] && return 0
  echo "prefix: creating $p" >&2
  rm -rf "$p"
  wine_in "$b" wineboot -i </dev/null >/dev/null 2>&1
  wine_in "$b" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f >/dev/null 2>&1
  for l in $SAVANTO_DRIVE_LETTERS; do
    mkdir -p "$b/drives/$l"
    ln -sfn "$(cd "$b/drives/$l" && pwd)" "$p/dosdevices/$l:"
    # removable, as an iPod in disk mode is
    wine_in "$b" reg add 'HKLM\Software\Wine\Drives' /v "$l:" /t REG_SZ /d floppy /f >/dev/null 2>&1
  done
  WINEPREFIX=$p $WINESERVER -w
  touch "$p/.savanto-ready"
}

# A persistent wineserver with Wine's services already up: without it every
# test executable would pay seconds of Wine start-up.
prefix_start() {  # prefix_start <builddir>
  local b
  b=$(cd "$1" && pwd)
  # A server left running (by hand, or by an interrupted run) is used as it is.
  WINEPREFIX=$b/wineprefix $WINESERVER -p 2>/dev/null || true
  wine_in "$b" wineboot </dev/null >/dev/null 2>&1
}

prefix_stop() {  # prefix_stop <builddir>
  WINEPREFIX=$(cd "$1" && pwd)/wineprefix $WINESERVER -k 2>/dev/null || true
}

# --- Prefixes that show windows: the end-to-end tests and the demo ---
# <b>/<name>      Wine with its X11 driver, run on a display given by the caller
# <b>/<name>-e    the folder that prefix maps as E:, a removable drive
# Each user names its own prefix, so that the tests and the demo can run side
# by side; its wineserver is started and stopped by whoever runs programs in it,
# so nothing of it outlives a test or a demo.

xwine_in() {  # xwine_in <builddir> <name> <program> [args...]   (DISPLAY set by the caller)
  local b=$1 name=$2 loader arch; shift 2
  loader=$(awk '/^exec/ {print $2}' "$b/wine-run")
  arch=$(sed -n 's/^export WINEARCH=//p' "$b/wine-run")
  WINEPREFIX=$b/$name WINEARCH=$arch WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" "$loader" "$@"
}

xprefix_drive() {  # xprefix_drive <builddir> <name>: the folder mapped as E:
  echo "$1/$2-e"
}

xprefix_init() {  # xprefix_init <builddir> <name>   (needs DISPLAY: wineboot opens windows)
  local b p drive
  b=$(cd "$1" && pwd); p=$b/$2; drive=$(xprefix_drive "$b" "$2")
  if [ ! -f "$p/.savanto-ready" ]; then
    echo "prefix: creating $p" >&2
    rm -rf "$p"
    mkdir -p "$drive"
    xwine_in "$b" "$2" wineboot -i </dev/null >/dev/null 2>&1
    WINEPREFIX=$p $WINESERVER -w
    # The link must exist before the next wineserver starts.
    ln -sfn "$drive" "$p/dosdevices/e:"
    xwine_in "$b" "$2" reg add 'HKLM\Software\Wine\Drives' /v e: /t REG_SZ /d floppy /f >/dev/null 2>&1
    # Never the network from tests or the demo.
    xwine_in "$b" "$2" reg add 'HKCU\Software\Quillmere\Savanto' /v CheckForUpdates /t REG_DWORD /d 0 /f >/dev/null 2>&1
    WINEPREFIX=$p $WINESERVER -w
    touch "$p/.savanto-ready"
  fi
}

xprefix_stop() {  # xprefix_stop <builddir> <name>: ends every program of that prefix
  WINEPREFIX=$(cd "$1" && pwd)/$2 $WINESERVER -k 2>/dev/null || true
}

# A private X display with a window manager (Wine's windows get title bars and
# DestroyWindow is fast). Sets XDISPLAY_PIDS; xdisplay_stop ends what it started.
xdisplay_start() {  # xdisplay_start  -> exports DISPLAY; XDISPLAY_SCREEN: WxHxDEPTH, 1024x768x24 by default
  local out xvfb n="" i
  XDISPLAY_PIDS=""
  # Xvfb picks a free display itself and writes its number once it listens:
  # two runs that start at the same moment can never share one, as they
  # could when each tried numbers on its own and took a socket that the
  # other's server had just made.
  out=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${XDISPLAY_SCREEN:-1024x768x24}" -nolisten tcp 3>"$out" >/dev/null 2>&1 &
  xvfb=$!
  # Up to 30 s: on a loaded machine the server can be slow to listen.
  for i in $(seq 1 600); do
    n=$(sed -n '1{/^[0-9][0-9]*$/p}' "$out")
    [ -n "$n" ] && break
    kill -0 $xvfb 2>/dev/null || break
    sleep 0.05
  done
  rm -f "$out"
  if [ -z "$n" ] || ! kill -0 $xvfb 2>/dev/null; then
    # End a server that never listened: waiting for it would never return.
    kill $xvfb 2>/dev/null || true
    wait $xvfb 2>/dev/null || true
    echo "no X display could be started" >&2
    return 1
  fi
  export DISPLAY=":$n"
  XDISPLAY_PIDS=$xvfb
  openbox >/dev/null 2>&1 &
  XDISPLAY_PIDS="$! $XDISPLAY_PIDS"
}

xdisplay_stop() {
  local pid
  for pid in $XDISPLAY_PIDS; do kill "$pid" 2>/dev/null || true; done
  for pid in $XDISPLAY_PIDS; do wait "$pid" 2>/dev/null || true; done
  XDISPLAY_PIDS=""
}

# One end-to-end run: a private display and a display prefix of its own,
# ended when the script exits (also on INT, TERM and HUP) with the Savanto
# the script started ($savanto_pid). A script that must end more first
# defines xsession_before_stop.
xsession_start() {  # xsession_start <builddir> <prefix name>
  XSESSION_BUILD=$1 XSESSION_PREFIX=$2
  savanto_pid=""
  trap xsession_stop EXIT
  trap "exit 1" INT TERM HUP   # so that the cleanup runs on those too
  xdisplay_start
  xprefix_init "$1" "$2"
}

xsession_stop() {
  if declare -F xsession_before_stop >/dev/null; then xsession_before_stop; fi
  xprefix_stop "$XSESSION_BUILD" "$XSESSION_PREFIX"
  [ -n "${savanto_pid:-}" ] && wait "$savanto_pid" 2>/dev/null || true
  xdisplay_stop
}

# Waits for a top-level window titled exactly <title>; prints its X id.
xwait_window() {  # xwait_window <title> <seconds>
  local i w
  for i in $(seq 1 $(($2 * 10))); do
    w=$(xdotool search --name "^$1\$" 2>/dev/null | head -1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.1
  done
  return 1
}

# Activates an X window and waits until it is the active one, so that the keys
# xdotool types next reach it; fails when it never becomes active.
xactivate() {  # xactivate <X window>
  xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1" 2>/dev/null || true
  for _ in $(seq 1 50); do [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ] && return 0; sleep 0.1; done
  return 1
}

# Waits until no top-level window is titled exactly <title>.
xwait_gone() {  # xwait_gone <title> <seconds>
  local i
  for i in $(seq 1 $(($2 * 10))); do
    xdotool search --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}

# --- RAM disks: drives that fill up or refuse writes, as real ones do ---
# Root writes through a folder's mode, so a place that refuses writes must be
# a file system mounted read-only. Mounting needs root (CAP_SYS_ADMIN): a
# caller that cannot mount skips what needs the disk.

ramdisk_mount() {  # ramdisk_mount <folder> <size, as 32m>: an empty tmpfs there; fails when not allowed
  mkdir -p "$1"
  mount -t tmpfs -o "size=$2,mode=0755" savanto-ramdisk "$1" 2>/dev/null
}

ramdisk_readonly() {  # ramdisk_readonly <folder>: keeps what it holds, takes no more writes
  mount -o remount,ro "$1"
}

# Lazily: a program that still has its current directory there must not
# keep the disk from going; a folder that is no mount is left alone.
ramdisk_unmount() {  # ramdisk_unmount <folder>
  if mountpoint -q "$1" 2>/dev/null; then umount -l "$1" 2>/dev/null || true; fi
}
