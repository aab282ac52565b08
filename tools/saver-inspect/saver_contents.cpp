#include "saver_contents.h"

#include <stdexcept>

#include "payload/format/binary_file.h"
#include "payload/format/reader.h"

namespace saver {
namespace {

// Keeps the stored trailer and switches off the choices the player makes
// at start (random colours and gradient, one random music track), so that
// the tables come out whole.
class TInspectHost : public IReaderHost {
 public:
  void ReadSettings(PayloadData& data) override {
    Stored = data.Trailer;
    data.Trailer.RandomColors = 0;
    data.Trailer.RandomGradient = 0;
    data.Trailer.PlayOneRandom = 0;
  }
  PayloadTrailer Stored;
};

}  // namespace

TSaverContents ReadSaverContents(const std::string& path) {
  TSaverContents contents;
  TInspectHost host;
  std::string reason;
  if (!ReadData(contents.Data, path, /*configMode=*/false, host, &reason))
    throw std::runtime_error("no valid payload (" + reason + ")");
  // The reader puts the file size into FileSizeSlot; show what is stored.
  BinaryFile file(path);
  file.Seek(file.Size() - int64_t(kTrailerAndMagicSize));
  host.Stored.FileSizeSlot = ParseTrailer(file.ReadBytes(kTrailerSize)).FileSizeSlot;
  contents.Data.Trailer = host.Stored;
  return contents;
}

}  // namespace saver
