#pragma once
// Builds saver files byte by byte (an executable stand-in followed by the
// payload sections, the trailer and the magic) for reader and extraction tests.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "payload/records_test_util.h"

namespace saver::testing {

// Trailer offsets used by the tests.
enum TrailerOffset : size_t {
  kOffPayloadSize = 0, kOffPictureCount = 8, kOffMusicCount = 12, kOffMaskCount = 16,
  kOffSeconds = 20, kOffPictureSection = 28, kOffBackgroundSize = 32,
  kOffBackgroundUnpacked = 36, kOffMaskSection = 40, kOffPreviewSize = 44,
  kOffMusicSection = 48, kOffExtraDataSize = 52, kOffBannerSize = 56, kOffLeadInSize = 60,
  kOffBackColor = 64, kOffBackColor2 = 68, kOffGradientStyle = 72, kOffRandomColors = 80,
  kOffRandomGradient = 81, kOffPlayOneRandom = 93, kOffEffectSpeed = 104, kOffBackPictureExt = 108,
};

struct SaverFile {
  std::vector<uint8_t> exe = std::vector<uint8_t>(1000, 0x90);  // the player's own bytes
  std::vector<uint8_t> leadIn, preview, banner, pictures, masks, background, music;
  std::vector<std::string> extra = std::vector<std::string>(16);
  std::vector<uint8_t> trailer = std::vector<uint8_t>(164, 0);

  // Section offsets from the payload start.
  size_t PictureSectionOffset() const { return leadIn.size() + preview.size() + banner.size(); }
  size_t MusicSectionOffset() const {
    return PictureSectionOffset() + pictures.size() + masks.size() + background.size();
  }

  // Sets the length fields from the sections, then lays out the file.
  std::vector<uint8_t> Bytes(bool fillLengths = true) {
    std::vector<uint8_t> extraBytes;
    for (const std::string& s : extra) AppendPrefixed(extraBytes, s);
    if (fillLengths) {
      PutI32At(trailer, kOffLeadInSize, int32_t(leadIn.size()));
      PutI32At(trailer, kOffPreviewSize, int32_t(preview.size()));
      PutI32At(trailer, kOffBannerSize, int32_t(banner.size()));
      PutI32At(trailer, kOffPictureSection, int32_t(pictures.size()));
      PutI32At(trailer, kOffMaskSection, int32_t(masks.size()));
      PutI32At(trailer, kOffBackgroundSize, int32_t(background.size()));
      PutI32At(trailer, kOffMusicSection, int32_t(music.size()));
      PutI32At(trailer, kOffExtraDataSize, int32_t(extraBytes.size()));
      size_t payload = leadIn.size() + preview.size() + banner.size() + pictures.size() +
                       masks.size() + background.size() + music.size() + extraBytes.size() + 174;
      PutI32At(trailer, kOffPayloadSize, int32_t(payload));
    }
    std::vector<uint8_t> out = exe;
    for (auto* s : {&leadIn, &preview, &banner, &pictures, &masks, &background, &music})
      AppendBytes(out, *s);
    AppendBytes(out, extraBytes);
    AppendBytes(out, trailer);
    AppendText(out, "Kelvastrom");
    return out;
  }
};

// A 572-byte picture or music entry with Start, Size, PackedSize and Ext.
inline std::vector<uint8_t> ItemEntry(int32_t start, int32_t size, int32_t packed,
                                      const std::string& ext) {
  std::vector<uint8_t> e(572, 0);
  PutI32At(e, 0, start);
  PutI32At(e, 4, size);
  PutI32At(e, 8, packed);
  PutTextAt(e, 12, ext);
  PutI32At(e, 564, -1);
  PutI32At(e, 568, -1);
  return e;
}

// A scratch folder per test, also used as TMPDIR so TempFolder() lands in it.
class ScratchDir {
 public:
  ScratchDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "saver-test-XXXXXX").string();
    path_ = ::mkdtemp(templ.data());
    old_tmpdir_ = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    ::setenv("TMPDIR", path_.c_str(), 1);
  }
  ~ScratchDir() {
    if (old_tmpdir_.empty()) ::unsetenv("TMPDIR"); else ::setenv("TMPDIR", old_tmpdir_.c_str(), 1);
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string Path(const std::string& name) const { return path_ + "/" + name; }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream(Path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return Path(name);
  }
  static std::vector<uint8_t> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::string path_, old_tmpdir_;
};

}  // namespace saver::testing
