#pragma once
#include "db/read_ahead_file.h"
#include "db/records.h"

#include <cstdint>
#include <memory>
#include <vector>

// Reads an iPod's iTunesDB into TrackEntry and PlaylistEntry records. It only
// reads, walks the file with small reads and relative moves, and never holds
// the whole file.
//
// A damaged or truncated file ends the walk: a read operation then returns
// null/false and no record is built from bytes that were not read. Lengths
// that would not move the walk forward, and objects shorter than the part the
// reader takes of them, count as damage, so every walk ends; counts are
// limited to what the rest of the file could hold.
class CiTunesDB {
public:
    enum DataSetType : uint32_t { kTrackList = 1, kPlaylistList = 2 };

    struct DataSetHeader {   // the first 16 bytes of a data set (mhsd)
        uint8_t tag[4];
        uint32_t headerLength;
        uint32_t totalLength;
        uint32_t type;
    };

    static constexpr size_t kDbHeaderBytes = 36;
    static constexpr size_t kTrackHeaderBytes = 236;
    static constexpr size_t kTrackFieldBytes = 48;   // offsets 0..47 must lie in the header
    static constexpr size_t kDataObjectBytes = 32;
    static constexpr size_t kMinDataObjectLength = 24;   // a data object's own header
    static constexpr size_t kPlaylistHeaderBytes = 44;
    static constexpr size_t kPlaylistFieldBytes = 24;
    static constexpr size_t kPlaylistItemBytes = 36;
    static constexpr size_t kListHeaderBytes = 12;
    // Track headers this long carry the artwork link at 0x160, past the
    // bytes read with the header: it is read on its own.
    static constexpr uint32_t kArtworkLinkHeader = 0x184;
    static constexpr uint32_t kArtworkLinkOffset = 0x160;

    CiTunesDB() = default;
    virtual ~CiTunesDB() = default;
    CiTunesDB(const CiTunesDB&) = delete;
    CiTunesDB& operator=(const CiTunesDB&) = delete;

    bool Open(const wchar_t* path);
    // Opens an iPod's database given the path of its iTunesDB: the iTunesCDB
    // beside it when that exists and begins with "mhbd" (newer iPods leave
    // iTunesDB empty), else the iTunesDB itself.
    bool OpenIpodDatabase(const wchar_t* iTunesDbPath);

    // The count and seek operations each start again from the first data set.
    uint32_t GetPlaylistCount();
    void SeekFirstPlaylist();
    bool ReadPlaylist(PlaylistEntry& playlist);

    uint32_t GetTrackCount();
    void SeekFirstTrack();
    std::unique_ptr<TrackEntry> ReadTrack();

    const std::vector<DataSetHeader>& DataSets() const { return m_dataSets; }
    // The library's lasting identity from the database header; 0 when the
    // header is too short to hold it or nothing is open.
    uint64_t PersistentId() const;

private:
    void Reset();
    bool ReadHeaderAndTable();
    void ReadDataSetTable();
    bool FindList(uint32_t type, uint32_t* itemCount, uint32_t* headerLength);
    uint32_t CountItems(uint32_t type, int64_t minItemBytes);
    void SeekFirstItem(uint32_t type);
    bool ReadArtworkLink(int64_t trackStart, uint32_t headerLength, uint32_t* link);
    bool ReadTrackObject(TrackEntry& track);
    bool ReadPlaylistObject(PlaylistEntry& playlist);
    bool ReadText(int64_t objectStart, uint32_t totalLength, uint32_t byteLength, OwnedText* text);

    ReadAheadFile m_file;
    std::vector<DataSetHeader> m_dataSets;
    uint8_t m_header[kDbHeaderBytes] = {};
    bool m_walkOk = false;   // false once the current walk met damage
};
