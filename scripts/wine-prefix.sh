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

prefix_init() {  # prefix_init <builddir>
  local b p l
  b=$(cd "$1" && pwd); p=$b/wineprefix
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
  WINEPREFIX=$b/wineprefix $WINESERVER -p
  wine_in "$b" wineboot </dev/null >/dev/null 2>&1
}

prefix_stop() {  # prefix_stop <builddir>
  WINEPREFIX=$(cd "$1" && pwd)/wineprefix $WINESERVER -k 2>/dev/null || true
}
