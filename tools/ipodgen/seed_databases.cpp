#include "seed_databases.h"

#include "sample_ipod.h"

namespace ipodgen {

Bytes SmallSampleDb()
{
    auto tracks = SampleTracks(6);
    return SampleDatabase(tracks, SamplePlaylists(tracks));
}

Bytes OddLayoutDb()
{
    TrackItem shortHeader;
    shortHeader.headerLength = 0xA0;
    shortHeader.trackId = 42;
    shortHeader.objects = {TextMhod(1, L"Short"), OpaqueMhod(15, 30), TextMhod(2, L":F:a.mp3")};
    TextObject odd{4, {'x', 0, 'y'}};
    TrackItem oddText;
    oddText.trackId = 43;
    oddText.objects = {Mhod(odd), TextMhod(3, L"Album")};
    Database db;
    db.dataSets = {Mhsd({4, Bytes(20, 1)}),
                   Mhsd({2, Mhlp({NamedPlaylist(L"Master", {42, 43}, 1), NamedPlaylist(L"Mix", {43, 43, 42})})}),
                   Mhsd({1, Mhlt({Mhit(shortHeader), Mhit(oddText)})})};
    return Mhbd(db);
}

Bytes EveryObjectTypeDb()
{
    TrackItem full;
    full.trackId = 7;
    full.trackNumber = 3;
    full.lengthMs = 215000;
    full.objects = {TextMhod(1, L"Title"),  TextMhod(2, L":iPod_Control:Music:F00:FULL.mp3"),
                    TextMhod(3, L"Album"),  TextMhod(4, L"Artist"),
                    TextMhod(5, L"Genre"),  TextMhod(6, L"MPEG audio file"),
                    OpaqueMhod(15, 40),     OpaqueMhod(16, 24),
                    TextMhod(8, L"Comment")};
    Playlist master;
    master.masterFlag = 1;
    master.objects = {TextMhod(1, L"iPod")};
    master.items = {Mhip({7}), Mhip({8})};
    PlaylistItem nested{7};
    nested.objects = {OpaqueMhod(100, 20)};
    Playlist ordinary;
    ordinary.objects = {TextMhod(1, L"Mix"), OpaqueMhod(100, 12)};
    ordinary.items = {Mhip(nested), Mhip({8})};
    const Bytes smart = NamedPlaylist(L"Smart", {8}, 0, true);
    Database db;
    db.dataSets = {Mhsd({4, Bytes(32, 0)}),
                   Mhsd({1, Mhlt({Mhit(full), Track({8, L"Bare"})})}),
                   Mhsd({3, Mhlp({NamedPlaylist(L"Podcasts", {7})})}),
                   Mhsd({2, Mhlp({Mhyp(master), Mhyp(ordinary), smart})}),
                   Mhsd({5, Mhlp({smart})})};
    return Mhbd(db);
}

Bytes HeaderGenerationDb(bool newer)
{
    std::vector<Bytes> tracks;
    for (uint32_t id : {1u, 2u}) {
        TrackItem track;
        track.trackId = id;
        track.trackNumber = static_cast<int32_t>(id);
        track.lengthMs = 180000;
        track.headerLength = newer ? 0x184 : 0x9C;
        track.objects = {TextMhod(1, id == 1 ? L"First" : L"Second"), TextMhod(4, L"Artist"),
                         TextMhod(2, id == 1 ? L":iPod_Control:Music:F00:A.mp3" : L":iPod_Control:Music:F01:B.m4a")};
        tracks.push_back(Mhit(track));
    }
    Playlist master;
    master.headerLength = newer ? 0xB8 : 0x6C;
    master.masterFlag = 1;
    master.objects = {TextMhod(1, L"iPod")};
    master.items = {Mhip({1}), Mhip({2})};
    Database db;
    db.headerLength = newer ? 0xBC : 0x68;
    db.dataSets = {Mhsd({1, Mhlt(tracks)}), Mhsd({2, Mhlp({Mhyp(master)})})};
    return Mhbd(db);
}

}  // namespace ipodgen
