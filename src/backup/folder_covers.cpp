#include "backup/folder_covers.h"

#include "backup/com_ref.h"
#include "backup/copy_job.h"
#include "backup/destination_path.h"
#include "backup/run_files.h"
#include "backup/transfer_log_place.h"
#include "db/artwork_db.h"

#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <climits>
#include <map>
#include <unordered_map>

namespace {

std::wstring HresultReason(const wchar_t* step, HRESULT result)
{
    wchar_t code[16];
    swprintf(code, 16, L"%08lX", static_cast<unsigned long>(result));
    return std::wstring(step) + L" failed, 0x" + code;
}

// The frame's quality, the one encoder option a cover needs.
HRESULT SetQuality(IPropertyBag2* options, float quality)
{
    PROPBAG2 option = {};
    option.pstrName = const_cast<wchar_t*>(L"ImageQuality");
    VARIANT value = {};
    value.vt = VT_R4;
    value.fltVal = quality;
    return options->Write(1, &option, &value);
}

HRESULT WriteFrame(IWICBitmapEncoder* encoder, const artwork::Picture& picture, float quality)
{
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    HRESULT result = encoder->CreateNewFrame(frame.Out(), options.Out());
    if (SUCCEEDED(result) && options.Get())
        SetQuality(options.Get(), quality);   // an encoder that knows no quality keeps its own
    if (SUCCEEDED(result))
        result = frame->Initialize(options.Get());
    if (SUCCEEDED(result))
        result = frame->SetSize(picture.width, picture.height);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (SUCCEEDED(result))
        result = frame->SetPixelFormat(&format);
    if (SUCCEEDED(result) && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
        result = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    const UINT stride = picture.width * 3;
    if (SUCCEEDED(result))
        result = frame->WritePixels(picture.height, stride, static_cast<UINT>(picture.bgr.size()),
                                    const_cast<BYTE*>(picture.bgr.data()));
    if (SUCCEEDED(result))
        result = frame->Commit();
    return result;
}

bool StreamBytes(IStream* stream, std::string& bytes)
{
    HGLOBAL memory = nullptr;
    if (FAILED(GetHGlobalFromStream(stream, &memory)))
        return false;
    STATSTG status = {};
    if (FAILED(stream->Stat(&status, STATFLAG_NONAME)) || status.cbSize.QuadPart > INT_MAX)
        return false;
    const void* data = GlobalLock(memory);
    if (!data)
        return false;
    bytes.assign(static_cast<const char*>(data), static_cast<size_t>(status.cbSize.QuadPart));
    GlobalUnlock(memory);
    return true;
}

// The text a log line carries for a cover that was not written.
std::wstring CoverFailureLine(const std::wstring& path, const std::wstring& reason, DWORD error = 0)
{
    std::wstring line = L"cover failed: " + path + L" (" + reason;
    if (error)
        line += L", error " + std::to_wstring(error);
    return line + L")";
}

// The images the run's folders need, each with the folders it goes to, in
// the order the folders come.
std::vector<std::pair<uint32_t, std::vector<std::wstring>>> FoldersByImage(const std::vector<FolderCover>& covers)
{
    std::vector<std::pair<uint32_t, std::vector<std::wstring>>> byImage;
    std::unordered_map<uint32_t, size_t> slot;
    for (const FolderCover& cover : covers) {
        const auto found = slot.emplace(cover.image, byImage.size());
        if (found.second)
            byImage.push_back({cover.image, {}});
        byImage[found.first->second].second.push_back(cover.folder);
    }
    return byImage;
}

// One image for all its folders: decoded and encoded once, written where
// no folder.jpg is yet. False once `log` says the run was cancelled.
bool SaveImage(const CArtworkDB& artwork, uint32_t image, const std::vector<std::wstring>& folders,
               const std::function<bool(const std::wstring&)>& log)
{
    std::vector<std::wstring> paths;
    for (const std::wstring& folder : folders) {
        std::wstring path = JoinPath(folder, kFolderPictureName);
        if (!FileExists(path.c_str()))   // a user's own picture, or an earlier run's
            paths.push_back(std::move(path));
    }
    if (paths.empty())
        return true;
    artwork::Picture picture;
    std::wstring failure;
    std::string jpeg;
    if (!artwork.Decode(image, &picture, &failure) ||
        !EncodeJpeg(picture, kCoverJpegQuality, jpeg, failure)) {
        for (const std::wstring& path : paths) {
            if (!log(CoverFailureLine(path, failure)))
                return false;
        }
        return true;
    }
    for (const std::wstring& path : paths) {
        FileWrite how;
        how.replace = false;   // one that appeared meanwhile stays
        DWORD error = 0;
        const wchar_t* writeFailure = WriteFileThroughTemporary(path.c_str(), jpeg, error, how);
        if (!log(writeFailure ? CoverFailureLine(path, writeFailure, error) : L"cover: " + path))
            return false;
    }
    return true;
}

}  // namespace

std::vector<FolderCover> ChooseFolderCovers(const std::vector<CoverCandidate>& candidates)
{
    struct Tally {
        std::wstring folder;
        std::vector<uint32_t> images;   // in the order first carried
        std::map<uint32_t, size_t> counts;
    };
    std::vector<Tally> tallies;
    std::unordered_map<std::wstring, size_t> slot;   // folded folder -> tally
    for (const CoverCandidate& candidate : candidates) {
        const auto found = slot.emplace(FoldedPath(candidate.folder), tallies.size());
        if (found.second)
            tallies.push_back({candidate.folder, {}, {}});
        Tally& tally = tallies[found.first->second];
        if (candidate.image && tally.counts[*candidate.image]++ == 0)
            tally.images.push_back(*candidate.image);
    }
    std::vector<FolderCover> covers;
    for (const Tally& tally : tallies) {
        if (tally.images.empty())
            continue;
        // max_element keeps the first of equals: the image carried first wins a tie.
        const auto most = std::max_element(tally.images.begin(), tally.images.end(), [&](uint32_t a, uint32_t b) {
            return tally.counts.at(a) < tally.counts.at(b);
        });
        covers.push_back({tally.folder, *most});
    }
    return covers;
}

bool EncodeJpeg(const artwork::Picture& picture, float quality, std::string& bytes, std::wstring& failure)
{
    bytes.clear();
    if (picture.width == 0 || picture.height == 0 || picture.width > UINT_MAX / 3 / picture.height ||
        picture.bgr.size() != static_cast<size_t>(picture.width) * picture.height * 3) {
        failure = L"no picture to encode";
        return false;
    }
    ComRef<IWICImagingFactory> factory;
    ComRef<IWICBitmapEncoder> encoder;
    ComRef<IStream> stream;
    HRESULT result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                      reinterpret_cast<void**>(factory.Out()));
    const wchar_t* step = L"the imaging component";
    if (SUCCEEDED(result))
        step = L"the JPEG encoder", result = factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.Out());
    if (SUCCEEDED(result))
        step = L"memory", result = CreateStreamOnHGlobal(nullptr, TRUE, stream.Out());
    if (SUCCEEDED(result))
        step = L"the JPEG encoder", result = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(result))
        step = L"encoding", result = WriteFrame(encoder.Get(), picture, quality);
    if (SUCCEEDED(result))
        result = encoder->Commit();
    if (FAILED(result)) {
        failure = HresultReason(step, result);
        return false;
    }
    if (!StreamBytes(stream.Get(), bytes) || bytes.empty()) {
        failure = L"the encoded picture could not be read";
        return false;
    }
    return true;
}

void SaveFolderCovers(const CoverRun& run, const std::function<bool(const std::wstring& line)>& log)
{
    if (run.tracks.empty())
        return;
    CArtworkDB artwork;
    if (!artwork.Open(run.ipodRoot.c_str())) {
        // An iPod without covers has no ArtworkDB: only a damaged one is said.
        const std::wstring database = JoinPath(run.ipodRoot, L"iPod_Control\\Artwork\\ArtworkDB");
        if (FileExists(database.c_str()))
            log(CoverFailureLine(database, artwork.OpenFailure()));
        return;
    }
    std::vector<CoverCandidate> candidates;
    candidates.reserve(run.tracks.size());
    for (const CoverTrack& track : run.tracks)
        candidates.push_back({track.folder, artwork.ImageOf(track.persistentId, track.artworkLink)});
    const ComApartment com;   // the imaging component needs it on this thread
    for (const auto& [image, folders] : FoldersByImage(ChooseFolderCovers(candidates))) {
        if (!SaveImage(artwork, image, folders, log))
            return;
    }
}
