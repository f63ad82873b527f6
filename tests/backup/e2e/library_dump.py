#!/usr/bin/env python3
# library_dump.py LIBRARY_XML ZONE OUT_TSV: parses the library file with a real
# XML parser, checks its shape, its file URLs and every UTC date against the
# zone's own rules, and writes one tab-separated line per track and playlist
# (dates back in the iPod's local seconds) for playlist_e2e_check.
import datetime, plistlib, sys, urllib.parse, zoneinfo

EPOCH, PREFIX, failures = datetime.datetime(1904, 1, 1), "file://localhost/", []


def local_seconds(utc, zone):
    local = utc.replace(tzinfo=datetime.timezone.utc).astimezone(zone).replace(tzinfo=None)
    return int((local - EPOCH).total_seconds())


def path_of(url):
    if not url.startswith(PREFIX) or any(c in url for c in " #?&"):
        failures.append(f"not an escaped file URL: {url}")
    return urllib.parse.unquote(url[len(PREFIX):]).replace("/", "\\")


def track_line(key, t, zone):
    if str(t.get("Track ID")) != key or t.get("Track Type") != "File":
        failures.append(f"track {key}: {t.get('Track ID')}, {t.get('Track Type')}")
    played = t.get("Play Date", 0)
    utc = (EPOCH + datetime.timedelta(seconds=played)).replace(tzinfo=zone).astimezone(datetime.timezone.utc)
    if played and t.get("Play Date UTC") != utc.replace(tzinfo=None):
        failures.append(f"track {key}: Play Date UTC {t.get('Play Date UTC')}, expected {utc}")
    fields = [key, t.get("Name", ""), t.get("Artist", ""), t.get("Album", ""), t.get("Play Count", 0), played,
              t.get("Rating", 0), t.get("Skip Count", 0),
              *(local_seconds(t[k], zone) if k in t else 0 for k in ("Date Added", "Skip Date")),
              t.get("Persistent ID", ""), t.get("Size", 0), path_of(t.get("Location", ""))]
    return "track\t" + "\t".join(str(f) for f in fields)


def main(path, zone_name, out):
    zone = zoneinfo.ZoneInfo(zone_name)
    with open(path, "rb") as f:
        library = plistlib.load(f, fmt=plistlib.FMT_XML)
    if (library.get("Major Version"), library.get("Minor Version")) != (1, 1) or \
            not isinstance(library.get("Date"), datetime.datetime) or not library.get("Application Version"):
        failures.append("not a version 1.1 library with its Date and Application Version")
    lines = ["folder\t" + path_of(library.get("Music Folder", ""))]
    lines += [track_line(k, t, zone) for k, t in library.get("Tracks", {}).items()]
    lines += [f"playlist\t{p.get('Name', '')}\t{int(p.get('Master', False))}\t" +
              ",".join(str(i["Track ID"]) for i in p.get("Playlist Items", [])) for p in library.get("Playlists", [])]
    with open(out, "w", encoding="utf-8", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")
    print("\n".join(failures), file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
