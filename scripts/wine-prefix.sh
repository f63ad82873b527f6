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
  $WINE_BOUND "$b/wine-run" "$@"
}

# Empty, but while a prefix is being made (prefix_make): then every Wine
# command is bounded, since under qemu-user a 32-bit Wine process now and then
# hangs at start-up and would hold the run until the test's timeout.
WINE_BOUND=""

# Makes a new prefix with <setup> (a function that runs wineboot -i and what
# follows, returning non-zero at the first step that fails), up to twice: a
# hung or half-made prefix is thrown away and made again. A prefix that fails
# twice fails the caller, with the space left on its disk in the message (a
# Wine prefix takes 0.6 GB for win32, 1.3 GB for win64).
prefix_make() {  # prefix_make <prefix> <setup function> [args...]
  local p=$1 try rc WINE_BOUND="timeout 240"; shift
  for try in 1 2; do
    rm -rf "$p"
    rc=0
    "$@" || rc=$?
    if [ $rc = 0 ]; then touch "$p/.savanto-ready"; return 0; fi
    WINEPREFIX=$p $WINESERVER -k 2>/dev/null || true
    echo "prefix: making $p failed (exit $rc, try $try of 2;" \
      "$(df -Ph "${p%/*}" | awk 'NR==2 {print $4}') free on its disk)" >&2
  done
  rm -rf "$p"
  return 1
}

# Drive F: carries a volume label, for the tests of iPods named by theirs. Wine
# reads it when its services start, so it is written before prefix_start.
SAVANTO_F_LABEL="SAVANTO F"

prefix_init() {  # prefix_init <builddir>
  local b p
  b=$(cd "$1" && pwd); p=$b/wineprefix
  mkdir -p "$b/drives/f"
  printf '%s' "$SAVANTO_F_LABEL" > "$b/drives/f/.windows-label"
  [ -f "$p/.savanto-ready" ] && return 0
  echo "prefix: creating $p" >&2
  prefix_make "$p" prefix_setup "$b"
}

prefix_setup() {  # prefix_setup <builddir>
  local b=$1 p=$1/wineprefix l
  wine_in "$b" wineboot -i </dev/null >/dev/null 2>&1 || return
  wine_in "$b" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f >/dev/null 2>&1 || return
  # Wine reports every file whose name begins with a dot as hidden; tests
  # that check the hidden attribute must see what the program set.
  wine_in "$b" reg add 'HKCU\Software\Wine' /v ShowDotFiles /t REG_SZ /d Y /f >/dev/null 2>&1 || return
  for l in $SAVANTO_DRIVE_LETTERS; do
    mkdir -p "$b/drives/$l" || return
    ln -sfn "$(cd "$b/drives/$l" && pwd)" "$p/dosdevices/$l:" || return
    # removable, as an iPod in disk mode is
    wine_in "$b" reg add 'HKLM\Software\Wine\Drives' /v "$l:" /t REG_SZ /d floppy /f >/dev/null 2>&1 || return
  done
  WINEPREFIX=$p $WINE_BOUND $WINESERVER -w
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
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" $WINE_BOUND "$loader" "$@"
}

xprefix_drive() {  # xprefix_drive <builddir> <name>: the folder mapped as E:
  echo "$1/$2-e"
}

# A display prefix is a copy of one template per build directory, made by
# whichever run needs it first: one wineboot instead of one per run, and a
# fraction of the disk.
xprefix_init() {  # xprefix_init <builddir> <name>   (needs DISPLAY: wineboot opens windows)
  local b p drive
  b=$(cd "$1" && pwd); p=$b/$2; drive=$(xprefix_drive "$b" "$2")
  [ -f "$p/.savanto-ready" ] && return 0
  xprefix_template "$b" || return
  rm -rf "$p"
  mkdir -p "$p" "$drive"
  prefix_copy "$b/$XPREFIX_TEMPLATE" "$p" || return
  ln -sfn "$drive" "$p/dosdevices/e:"
  touch "$p/.savanto-ready"
}

XPREFIX_TEMPLATE=display-template

xprefix_template() {  # xprefix_template <builddir>
  local b=$1
  (
    flock 9
    [ -f "$b/$XPREFIX_TEMPLATE/.savanto-ready" ] && exit 0
    echo "prefix: creating $b/$XPREFIX_TEMPLATE" >&2
    prefix_make "$b/$XPREFIX_TEMPLATE" xprefix_setup "$b" "$XPREFIX_TEMPLATE"
  ) 9>"$b/$XPREFIX_TEMPLATE.lock"
}

xprefix_setup() {  # xprefix_setup <builddir> <name>
  local b=$1 name=$2 p=$1/$2 drive
  drive=$(xprefix_drive "$b" "$name")
  mkdir -p "$drive" || return
  xwine_in "$b" "$name" wineboot -i </dev/null >/dev/null 2>&1 || return
  WINEPREFIX=$p $WINE_BOUND $WINESERVER -w || return
  # The link must exist before the next wineserver starts.
  ln -sfn "$drive" "$p/dosdevices/e:" || return
  xwine_in "$b" "$name" reg add 'HKLM\Software\Wine\Drives' /v e: /t REG_SZ /d floppy /f >/dev/null 2>&1 || return
  # Never the network from tests or the demo.
  xwine_in "$b" "$name" reg add 'HKCU\Software\Quillmere\Savanto' /v CheckForUpdates /t REG_DWORD /d 0 /f >/dev/null 2>&1 || return
  WINEPREFIX=$p $WINE_BOUND $WINESERVER -w
}

# Copies a prefix whose server has ended. The system folders (nine tenths of
# it) are hard-linked, since nothing writes to them once made; the rest is
# copied, the registry above all: Wine rewrites a registry file with more than
# one link in place, which would change every copy at once.
prefix_copy() {  # prefix_copy <from> <to>
  local shared="drive_c/windows/system32 drive_c/windows/syswow64 drive_c/windows/winsxs" d
  tar -C "$1" --exclude=./.savanto-ready $(for d in $shared; do printf -- '--exclude=./%s ' "$d"; done) -cf - . |
    tar -C "$2" -xf - || return
  for d in $shared; do
    if [ -d "$1/$d" ]; then cp -al "$1/$d" "$2/$d" || return; fi
  done
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
  # A command that ends the script through set -e says which it was.
  set -o errtrace
  trap 'echo "FAIL: line $LINENO of ${BASH_SOURCE[0]##*/}: \"$BASH_COMMAND\" exited with $?" >&2' ERR
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

# Activates Savanto's main window and waits until Wine, too, has given it the
# keyboard: the display server reports it active a moment before.
xactivate_main() {  # xactivate_main <X window> <builddir> <prefix name>
  xactivate "$1" && xwine_in "$2" "$3" "$2/tests/ui/savanto_probe.exe" keys 20 >/dev/null
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
