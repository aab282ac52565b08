// Feeds arbitrary bytes to the payload reader as a saver file, in both
// depths, and extracts every item the tables name.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "payload/format/extract.h"
#include "payload/format/reader.h"

namespace {

constexpr int64_t kMaxItem = 1 << 16;  // keep each run quick

class FuzzHost : public saver::IReaderHost {
 public:
  void LoadBackgroundPicture(saver::PayloadData& data) override {
    if (data.Trailer.BackgroundUnpackedSize <= kMaxItem) saver::ExtractBackgroundPicture(data);
  }
};

const std::string& Scratch() {
  static const std::string dir = [] {
    char templ[] = "/tmp/fuzz-reader-XXXXXX";
    std::string d = mkdtemp(templ);
    setenv("TMPDIR", d.c_str(), 1);
    return d;
  }();
  return dir;
}

void ExtractQuietly(const std::string& src, bool compressed, int64_t size, int64_t packed,
                    int64_t pos) {
  if (size > kMaxItem || (size == 0 && !compressed)) return;
  try {
    saver::ExtractItem(src, Scratch() + "/item", compressed, size, packed, pos);
  } catch (const std::exception&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  std::string path = Scratch() + "/saver.scr";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(bytes, 1, size, f);
  std::fclose(f);

  for (bool configMode : {true, false}) {
    FuzzHost host;
    saver::PayloadData data;
    if (!saver::ReadData(data, path, configMode, host) || configMode) continue;
    for (const auto& e : data.PictureTable)
      ExtractQuietly(path, e.PackedSize > 0, e.Size, e.PackedSize, data.PicturePosition(e));
    for (const auto& e : data.MaskTable)
      ExtractQuietly(path, e.PackedSize > 0, e.Size, e.PackedSize, data.MaskPosition(e));
    for (const auto& e : data.MusicTable)
      ExtractQuietly(path, e.PackedSize > 0, e.Size, e.PackedSize, data.MusicPosition(e));
  }
  return 0;
}
