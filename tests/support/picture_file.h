#pragma once
// A saved cover read back through the Windows Imaging Component, and how far
// it lies from the picture it was made from.
#include "backup/com_ref.h"
#include "db/cover_frames.h"

#include <wincodec.h>

#include <cstdlib>
#include <string>

// The image file as 24-bit BGR; false when it cannot be decoded.
inline bool ReadPictureFile(const std::wstring& path, artwork::Picture& picture)
{
    const ComApartment com;
    ComRef<IWICImagingFactory> factory;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    ComRef<IWICFormatConverter> converter;
    UINT width = 0, height = 0;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.Out()))) ||
        FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                  decoder.Out())) ||
        FAILED(decoder->GetFrame(0, frame.Out())) || FAILED(factory->CreateFormatConverter(converter.Out())) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->GetSize(&width, &height)))
        return false;
    picture.width = width;
    picture.height = height;
    picture.bgr.assign(static_cast<size_t>(width) * height * 3, 0);
    return SUCCEEDED(converter->CopyPixels(nullptr, width * 3, static_cast<UINT>(picture.bgr.size()),
                                           picture.bgr.data()));
}

// The mean difference of the two pictures' channel values; a large number
// when their sizes differ.
inline double MeanChannelDifference(const artwork::Picture& a, const artwork::Picture& b)
{
    if (a.width != b.width || a.height != b.height || a.bgr.size() != b.bgr.size() || a.bgr.empty())
        return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.bgr.size(); ++i)
        sum += std::abs(static_cast<int>(a.bgr[i]) - static_cast<int>(b.bgr[i]));
    return sum / static_cast<double>(a.bgr.size());
}
