#pragma once
// The small picture the desktop's screen-saver chooser shows for a saver.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "converted_pictures.h"
#include "graphics/bitmap32.h"
#include "pack_job.h"

namespace saver {

inline constexpr int32_t kPreviewWidth = 152;
inline constexpr int32_t kPreviewHeight = 112;

// The picture fitted into kPreviewWidth x kPreviewHeight with its aspect
// ratio kept, over backColor (0x00BBGGRR), all pixels opaque.
TBitmap32 MakePreview(const TBitmap32& picture, int32_t backColor);

// Decodes the picture file (format by extension; turned as its orientation
// tag says when upright is true) and makes its preview as a 32-bit BMP
// file. Throws DecodeError when the file cannot be decoded.
std::vector<uint8_t> PreviewBmpFromFile(const std::string& path, int32_t backColor,
                                        bool upright = true);

// The preview of a job as BMP file bytes: its preview file (a .bmp as it
// is, another picture fitted; a video is refused), else made from the first
// picture item that decodes (video items are passed over; a converted one
// as converted), else a plain BackColor picture. Notes what it did on
// progress.
std::vector<uint8_t> PreviewBmpForJob(const TPackJob& job, const TConvertedPictures& converted,
                                     const std::function<void(const std::string&)>& progress);

}  // namespace saver
