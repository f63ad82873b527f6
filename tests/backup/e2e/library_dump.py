#!/usr/bin/env python3
"""library_dump.py LIBRARY_XML ZONE OUT_TSV

Parses the library file Savanto wrote with a real XML parser, checks what does
not depend on the sample iPod (the property list's shape, the file URLs, every
UTC date against the zone's own rules for the local time it came from) and
writes one tab-separated line per track and per playlist for the checker
program, dates turned back into the iPod's local seconds. Exit code 0 when
the shape was right.
"""
import datetime
import plistlib
import sys
import urllib.parse
import zoneinfo

MAC_EPOCH = datetime.datetime(1904, 1, 1)
URL_PREFIX = "file://localhost/"
failures = []


def fail(what):
    failures.append(what)


def local_seconds(utc, zone):
    """A UTC date of the file as seconds since 1904 in the zone's local time."""
    local = utc.replace(tzinfo=datetime.timezone.utc).astimezone(zone).replace(tzinfo=None)
    return int((local - MAC_EPOCH).total_seconds())


def windows_path(url):
    if not url.startswith(URL_PREFIX):
        fail(f"not a file URL: {url}")
        return ""
    if any(c in url for c in " #?&"):
        fail(f"unescaped character in {url}")
    return urllib.parse.unquote(url[len(URL_PREFIX):]).replace("/", "\\")


def track_line(key, track, zone):
    if str(track.get("Track ID")) != key or track.get("Track Type") != "File":
        fail(f"track {key}: Track ID {track.get('Track ID')}, type {track.get('Track Type')}")
    play_date = track.get("Play Date", 0)
    if play_date:
        naive = MAC_EPOCH + datetime.timedelta(seconds=play_date)
        expected = naive.replace(tzinfo=zone).astimezone(datetime.timezone.utc).replace(tzinfo=None)
        if track.get("Play Date UTC") != expected:
            fail(f"track {key}: Play Date UTC {track.get('Play Date UTC')}, expected {expected}")
    dates = [local_seconds(track[k], zone) if k in track else 0 for k in ("Date Added", "Skip Date")]
    fields = [key, track.get("Name", ""), track.get("Artist", ""), track.get("Album", ""),
              track.get("Play Count", 0), play_date, track.get("Rating", 0), track.get("Skip Count", 0),
              *dates, track.get("Persistent ID", ""), track.get("Size", 0), windows_path(track.get("Location", ""))]
    return "track\t" + "\t".join(str(f) for f in fields)


def playlist_line(playlist):
    ids = ",".join(str(item["Track ID"]) for item in playlist.get("Playlist Items", []))
    master = 1 if playlist.get("Master") else 0
    return f"playlist\t{playlist.get('Name', '')}\t{master}\t{ids}"


def main():
    path, zone_name, out = sys.argv[1:4]
    zone = zoneinfo.ZoneInfo(zone_name)
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(b'<?xml version="1.0" encoding="UTF-8"?>'):
        fail("no XML declaration")
    library = plistlib.loads(data, fmt=plistlib.FMT_XML)
    if library.get("Major Version") != 1 or library.get("Minor Version") != 1:
        fail("not version 1.1")
    if not isinstance(library.get("Date"), datetime.datetime) or not library.get("Application Version"):
        fail("no Date or Application Version")
    lines = ["folder\t" + windows_path(library.get("Music Folder", ""))]
    lines += [track_line(k, t, zone) for k, t in library.get("Tracks", {}).items()]
    lines += [playlist_line(p) for p in library.get("Playlists", [])]
    with open(out, "w", encoding="utf-8", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")
    for what in failures:
        print(what, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
