// Damaged databases: truncations at every byte and seeded random mutations.
// The reader must end every walk, and every text it returns must be bytes of
// the file; a truncated file must give a prefix of the intact file's tracks.
#include "db/compressed_db.h"
#include "db/itunesdb.h"
#include "db_test_util.h"
#include "ipodgen/sample_ipod.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>

using namespace ipodgen;
using testing_support::TempDir;

namespace {

// True when the UTF-16LE bytes of `text` occur in the file. An odd text
// length ends in a unit whose high byte the reader supplied as 0.
bool TextComesFromFile(const OwnedText& text, const Bytes& file)
{
    if (!text)
        return true;
    Bytes needle = Utf16Bytes(text.get());
    auto found = [&](const Bytes& n) {
        return n.empty() || std::search(file.begin(), file.end(), n.begin(), n.end()) != file.end();
    };
    if (found(needle))
        return true;
    if (!needle.empty() && needle.back() == 0) {
        needle.pop_back();
        return found(needle);
    }
    return false;
}

void ExpectReadFromFile(const LoadedDb& db, const Bytes& file, const std::string& what)
{
    ASSERT_LE(db.tracks.size(), file.size() / CiTunesDB::kTrackFieldBytes) << what;
    ASSERT_LE(db.playlists.size(), file.size() / CiTunesDB::kPlaylistFieldBytes) << what;
    for (const auto& t : db.tracks) {
        for (const OwnedText* field : {&t->title, &t->artist, &t->album, &t->genre, &t->location})
            ASSERT_TRUE(TextComesFromFile(*field, file)) << what;
    }
    size_t ids = 0;
    for (const auto& p : db.playlists) {
        ASSERT_TRUE(TextComesFromFile(p->name, file)) << what;
        ids += p->trackIds.size();
    }
    ASSERT_LE(ids, file.size() / CiTunesDB::kPlaylistItemBytes) << what;
}

bool SameTrack(const TrackEntry& a, const TrackEntry& b)
{
    return a.trackId == b.trackId && a.trackNumber == b.trackNumber && a.lengthMs == b.lengthMs &&
           Text(a.title) == Text(b.title) && Text(a.artist) == Text(b.artist) && Text(a.album) == Text(b.album) &&
           Text(a.genre) == Text(b.genre) && Text(a.location) == Text(b.location);
}

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

TEST(ReaderDamage, EveryTruncationGivesAPrefixOfTheIntactTracks)
{
    TempDir dir;
    for (const Bytes& intact : {SmallSampleDb(), OddLayoutDb()}) {
        const LoadedDb whole = LoadBytes(dir, intact);
        ASSERT_FALSE(whole.tracks.empty());
        for (size_t cut = 0; cut < intact.size(); ++cut) {
            const Bytes truncated(intact.begin(), intact.begin() + cut);
            const LoadedDb db = LoadBytes(dir, truncated);
            const std::string what = "cut at " + std::to_string(cut);
            ASSERT_EQ(cut >= CiTunesDB::kDbHeaderBytes, db.opened) << what;
            ASSERT_LE(db.tracks.size(), whole.tracks.size()) << what;
            for (size_t i = 0; i < db.tracks.size(); ++i)
                ASSERT_TRUE(SameTrack(*db.tracks[i], *whole.tracks[i])) << what << ", track " << i;
            ExpectReadFromFile(db, truncated, what);
        }
    }
}

// Offsets of the length and count fields of every object of a database.
std::vector<size_t> FieldOffsets(const Bytes& file)
{
    std::vector<size_t> offsets;
    for (size_t i = 0; i + 32 <= file.size(); ++i) {
        if (file[i] == 'm' && file[i + 1] == 'h' && isalpha(file[i + 2]) && isalpha(file[i + 3])) {
            for (size_t field : {4, 8, 12, 16, 20, 28})
                offsets.push_back(i + field);
        }
    }
    return offsets;
}

TEST(ReaderDamage, SeededMutationsNeverReadBeyondTheFile)
{
    constexpr int kCases = 20000;
    std::vector<Bytes> bases = {SmallSampleDb(), OddLayoutDb()};
    Bytes real;
    ASSERT_TRUE(ReadBytes(testing_support::SamplePath(L"itunes-v4f-2tracks.iTunesDB"), &real));
    bases.push_back(real);
    std::vector<std::vector<size_t>> fields;
    for (const Bytes& base : bases)
        fields.push_back(FieldOffsets(base));

    TempDir dir;
    std::mt19937 random(20261207);
    const uint32_t extremes[] = {0, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 1, 0xFFFFFFF0};
    const auto start = std::chrono::steady_clock::now();
    size_t tracksRead = 0;
    for (int n = 0; n < kCases; ++n) {
        const size_t which = random() % bases.size();
        Bytes file = bases[which];
        switch (random() % 4) {
        case 0:   // truncation
            file.resize(random() % file.size());
            break;
        case 1:   // a few random bytes
            for (int flips = 1 + random() % 8; flips > 0; --flips)
                file[random() % file.size()] ^= static_cast<uint8_t>(1 + random() % 255);
            break;
        case 2:   // a length or count set to an extreme
            PutU32(file, fields[which][random() % fields[which].size()], extremes[random() % 6]);
            break;
        default:  // both, then a cut
            PutU32(file, fields[which][random() % fields[which].size()], extremes[random() % 6]);
            file[random() % file.size()] ^= 0x80;
            file.resize(file.size() - random() % 64);
            break;
        }
        const LoadedDb db = LoadBytes(dir, file);
        tracksRead += db.tracks.size();
        ExpectReadFromFile(db, file, "case " + std::to_string(n));
        if (HasFatalFailure())
            return;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    printf("%d mutated databases read in %.1f s (%zu tracks survived)\n", kCases, seconds, tracksRead);
}

// Compressed databases (iTunesCDB): every text must come from the bytes that
// the reader walked, which are the inflated ones.

// The bytes the reader walked for an iTunesCDB: the inflated image, the file
// itself when it is stored uncompressed, none when it is not read.
Bytes BytesWalked(const std::wstring& cdbPath, const Bytes& file)
{
    ByteChunks image;
    switch (compressed_db::ReadDatabase(cdbPath.c_str(), &image)) {
    case compressed_db::Content::kStored:
        return file;
    case compressed_db::Content::kInflated: {
        EXPECT_LE(image.Size(), compressed_db::kMaxImageBytes);
        Bytes bytes;
        size_t length = 0;
        for (const uint8_t* chunk; (chunk = image.BytesAt(static_cast<int64_t>(bytes.size()), &length));)
            bytes.insert(bytes.end(), chunk, chunk + length);
        return bytes;
    }
    default:
        return {};
    }
}

TEST(ReaderDamage, CompressedMutationsNeverReadBeyondTheInflatedBytes)
{
    constexpr int kCases = 3000;
    Bytes real;
    ASSERT_TRUE(ReadBytes(testing_support::SamplePath(L"itunes-v4f-2tracks.iTunesDB"), &real));
    const std::vector<Bytes> bases = {CompressedDatabase(SmallSampleDb()), CompressedDatabase(OddLayoutDb()),
                                      CompressedDatabase(real)};
    // Header fields that decide how the rest is read: length, flag, data sets.
    const size_t headerFields[] = {4, 5, 20, 0xA8, 0xA9};

    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File(L"iTunesDB"), {}));
    const std::wstring cdbPath = dir.File(L"iTunesCDB");
    std::mt19937 random(20261208);
    size_t tracksRead = 0;
    for (int n = 0; n < kCases; ++n) {
        Bytes file = bases[random() % bases.size()];
        const size_t streamBytes = file.size() - kCdbHeaderLength;
        switch (random() % 4) {
        case 0:   // truncation
            file.resize(random() % file.size());
            break;
        case 1:   // a few random bytes of the stream
            for (int flips = 1 + random() % 4; flips > 0; --flips)
                file[kCdbHeaderLength + random() % streamBytes] ^= static_cast<uint8_t>(1 + random() % 255);
            break;
        case 2:   // a header field
            file[headerFields[random() % 5]] ^= static_cast<uint8_t>(1 << random() % 8);
            break;
        default:  // the stream, then a cut
            file[kCdbHeaderLength + random() % streamBytes] ^= 0x80;
            file.resize(file.size() - random() % 64);
            break;
        }
        ASSERT_TRUE(WriteBytes(cdbPath, file));
        const LoadedDb db = LoadIpodDb(dir.File(L"iTunesDB"));
        tracksRead += db.tracks.size();
        ExpectReadFromFile(db, BytesWalked(cdbPath, file), "case " + std::to_string(n));
        if (HasFatalFailure())
            return;
    }
    printf("%d mutated compressed databases read (%zu tracks survived)\n", kCases, tracksRead);
}

}  // namespace
