#include "reader_damage.h"

#include "db/compressed_db.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <random>

using namespace ipodgen;

namespace reader_damage {

bool AddSampleSeed(std::vector<SeedDatabase>& seeds, const wchar_t* fileName)
{
    if (!testing_support::SamplesAvailable())
        return true;
    SeedDatabase seed;
    const std::wstring wide = fileName;
    seed.name = std::string(wide.begin(), wide.end());
    if (!ReadBytes(testing_support::SamplePath(fileName), &seed.bytes) || seed.bytes.empty())
        return false;
    seeds.push_back(std::move(seed));
    return true;
}

namespace {

// Finds texts in a file. The reader walks forward, so each text is looked for
// first a little before the previous one; only a miss there scans the whole
// file, which keeps the check linear on databases of megabytes.
class TextFinder {
public:
    explicit TextFinder(const Bytes& file) : m_file(file) {}

    // True when the UTF-16LE bytes of `text` occur in the file. An odd text
    // length ends in a unit whose high byte the reader supplied as 0.
    bool ComesFromFile(const OwnedText& text)
    {
        if (!text)
            return true;
        Bytes needle = Utf16Bytes(Text(text));
        if (Found(needle))
            return true;
        if (!needle.empty() && needle.back() == 0) {
            needle.pop_back();
            return Found(needle);
        }
        return false;
    }

private:
    static constexpr size_t kLookBack = 4096;

    bool Found(const Bytes& needle)
    {
        if (needle.empty())
            return true;
        const auto from = m_file.begin() + (m_hint > kLookBack ? m_hint - kLookBack : 0);
        auto at = std::search(from, m_file.end(), needle.begin(), needle.end());
        if (at == m_file.end())
            at = std::search(m_file.begin(), m_file.end(), needle.begin(), needle.end());
        if (at == m_file.end())
            return false;
        m_hint = static_cast<size_t>(at - m_file.begin());
        return true;
    }

    const Bytes& m_file;
    size_t m_hint = 0;
};

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

void Mutate(Bytes& file, const std::vector<size_t>& fields, std::mt19937& random)
{
    static const uint32_t kExtremes[] = {0, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 1, 0xFFFFFFF0};
    switch (random() % 4) {
    case 0:   // truncation
        file.resize(random() % file.size());
        break;
    case 1:   // a few random bytes
        for (int flips = 1 + random() % 8; flips > 0; --flips)
            file[random() % file.size()] ^= static_cast<uint8_t>(1 + random() % 255);
        break;
    case 2:   // a length or count set to an extreme
        PutU32(file, fields[random() % fields.size()], kExtremes[random() % 6]);
        break;
    default:  // both, then a cut
        PutU32(file, fields[random() % fields.size()], kExtremes[random() % 6]);
        file[random() % file.size()] ^= 0x80;
        file.resize(file.size() - std::min<size_t>(file.size(), random() % 64));
        break;
    }
}

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

void MutateCompressed(Bytes& file, std::mt19937& random)
{
    // Header fields that decide how the rest is read: length, flag, data sets.
    static const size_t kHeaderFields[] = {4, 5, 20, 0xA8, 0xA9};
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
        file[kHeaderFields[random() % 5]] ^= static_cast<uint8_t>(1 << random() % 8);
        break;
    default:  // the stream, then a cut
        file[kCdbHeaderLength + random() % streamBytes] ^= 0x80;
        file.resize(file.size() - random() % 64);
        break;
    }
}

}  // namespace

void ExpectReadFromFile(const LoadedDb& db, const Bytes& file, const std::string& what)
{
    ASSERT_LE(db.tracks.size(), file.size() / CiTunesDB::kTrackFieldBytes) << what;
    ASSERT_LE(db.playlists.size(), file.size() / CiTunesDB::kPlaylistFieldBytes) << what;
    TextFinder finder(file);
    for (const auto& t : db.tracks) {
        for (const OwnedText* field : {&t->title, &t->artist, &t->album, &t->genre, &t->location})
            ASSERT_TRUE(finder.ComesFromFile(*field)) << what;
    }
    size_t ids = 0;
    for (const auto& p : db.playlists) {
        ASSERT_TRUE(finder.ComesFromFile(p->name)) << what;
        ids += p->trackIds.size();
    }
    ASSERT_LE(ids, file.size() / CiTunesDB::kPlaylistItemBytes) << what;
}

void RunSeededMutations(const std::vector<SeedDatabase>& seeds, int cases, uint32_t randomSeed,
                        MutationTotals& totals)
{
    ASSERT_FALSE(seeds.empty());
    std::vector<std::vector<size_t>> fields;
    for (const SeedDatabase& seed : seeds) {
        fields.push_back(FieldOffsets(seed.bytes));
        ASSERT_FALSE(fields.back().empty()) << seed.name << " has no objects to damage";
    }
    totals = MutationTotals();
    totals.casesPerSeed.assign(seeds.size(), 0);
    testing_support::TempDir dir;
    std::mt19937 random(randomSeed);
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < cases; ++n) {
        const size_t which = random() % seeds.size();
        Bytes file = seeds[which].bytes;
        Mutate(file, fields[which], random);
        const LoadedDb db = LoadBytes(dir, file);
        totals.tracksRead += db.tracks.size();
        ++totals.casesPerSeed[which];
        ++totals.cases;
        ExpectReadFromFile(db, file, "case " + std::to_string(n) + " of " + seeds[which].name);
        if (::testing::Test::HasFatalFailure())
            break;
    }
    totals.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void RunCompressedMutations(const std::vector<SeedDatabase>& seeds, int cases, uint32_t randomSeed,
                            MutationTotals& totals)
{
    ASSERT_FALSE(seeds.empty());
    std::vector<Bytes> compressed;
    for (const SeedDatabase& seed : seeds)
        compressed.push_back(CompressedDatabase(seed.bytes));
    totals = MutationTotals();
    totals.casesPerSeed.assign(seeds.size(), 0);
    testing_support::TempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File(L"iTunesDB"), {}));
    const std::wstring cdbPath = dir.File(L"iTunesCDB");
    std::mt19937 random(randomSeed);
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < cases; ++n) {
        const size_t which = random() % seeds.size();
        Bytes file = compressed[which];
        MutateCompressed(file, random);
        ASSERT_TRUE(WriteBytes(cdbPath, file));
        const LoadedDb db = LoadIpodDb(dir.File(L"iTunesDB"));
        totals.tracksRead += db.tracks.size();
        ++totals.casesPerSeed[which];
        ++totals.cases;
        ExpectReadFromFile(db, BytesWalked(cdbPath, file), "compressed case " + std::to_string(n) + " of " +
                                                               seeds[which].name);
        if (::testing::Test::HasFatalFailure())
            break;
    }
    totals.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace reader_damage
