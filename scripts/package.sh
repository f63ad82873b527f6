#!/bin/bash
# Builds the shipped 32-bit Savanto.exe and its help file and writes the
# release package dist/Savanto-<version>.zip: Savanto.exe, help.chm and a
# read-me for Windows users.
# Usage: scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

b=build/i686
[ -f "$b/CMakeCache.txt" ] || cmake --preset i686 >/dev/null
cmake --build --preset i686 --target Savanto savanto_help -- -j"$(nproc)" --quiet

# The project's version must be the one the program shows and compares.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$b/CMakeCache.txt")
program_version=$(sed -n 's/.*kProgramVersion\[\] = L"\([^"]*\)".*/\1/p' src/update/update_check.h)
if [ -z "$version" ] || [ "$version" != "$program_version" ]; then
  echo "package: the project's version ($version) differs from the program's ($program_version)" >&2
  exit 1
fi

stage=$(mktemp -d); trap 'rm -rf "$stage"' EXIT
# Symbols help nobody who downloads the program.
i686-w64-mingw32-strip -o "$stage/Savanto.exe" "$b/src/Savanto.exe"
cp "$b/src/help.chm" "$stage/"
# Notepad on older Windows wants CRLF line ends.
sed 's/$/\r/' > "$stage/ReadMe.txt" <<TEXT
Savanto $version - iPod Backup Tool
=================================

Savanto copies the music on your iPod to a folder on your computer. It reads
the iPod's own music database, shows its playlists and tracks, and copies the
tracks you tick, named by a renaming rule you can edit. It never writes to
the iPod.

Requirements
  - Windows 7 or later, 32- or 64-bit.
  - An iPod that appears in Windows as a drive (disk use enabled).

Installing
  Unpack this archive into a folder of its own, for example
  C:\\Program Files\\Savanto, and start Savanto.exe. Nothing else is needed.
  Keep help.chm beside Savanto.exe, where Help topics (F1) finds it.

Files
  Savanto.exe   the program
  help.chm      the help (also Help > Help topics, F1)
  ReadMe.txt    this file

Album covers: the covers iTunes put on the iPod are often their only copy.
With Options > Save album covers when copying (on unless you switch it off),
each folder of copied tracks gets its album's cover as folder.jpg, where
Windows Explorer and music players look for it. Savanto never replaces a
folder.jpg that is already there.

Savanto writes transfer_log.txt, the list of what the last copy did, into
the folder it was started from; when it may not write there (as in
C:\\Program Files), into %LOCALAPPDATA%\\Savanto\\transfer_log.txt. It keeps
its preferences in the registry under
HKEY_CURRENT_USER\\Software\\Quillmere\\Savanto.

Removing
  Delete the folder. To remove the preferences too, delete the registry key
  above, and the folder %LOCALAPPDATA%\\Savanto if there is one.

Home page: https://www.quillmere.com/savanto
TEXT

mkdir -p dist
zip="dist/Savanto-$version.zip"
rm -f "$zip"
(cd "$stage" && zip -q -X -9 "$OLDPWD/$zip" Savanto.exe help.chm ReadMe.txt)
python3 -m zipfile -l "$zip"
echo "package: $zip"
