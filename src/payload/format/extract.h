#pragma once
// Item extraction: every payload item reaches its consumer as a file in the
// private temporary folder (platform/paths.h TempFolder).
//
// Absolute positions, with P the payload start (PayloadData::PayloadStart):
//   picture and mask items  P + Start
//   music items             P + MusicSectionStart (relative Start!)
//   background picture      P + BackgroundStart, always compressed
//   preview picture         P + LeadInSize, plain, PreviewSize bytes
// The helpers in payload/payload_data.h compute them.
#include <cstdint>
#include <string>

namespace saver {

inline constexpr int64_t kExtractChunkSize = 524288;  // 512 KiB

// True when a file of size bytes may be written into folder: its file system
// has that much free and keeps a twentieth of its size (at most 256 MiB) free
// besides. A folder whose file system cannot be asked counts as large enough.
bool FitsInFolder(const std::string& folder, int64_t size);

// Copies one item of source (the saver file) at position into dest; an
// existing dest is replaced. An item whose size does not fit into dest's
// folder (FitsInFolder) is refused before anything is written.
//  - compressed (a zlib stream of packedSize bytes): inflates up to size
//    bytes, streamed, never holding the item in memory. A stream that ends
//    early gives a shorter dest without an error. Every failure (unreadable
//    source, a range outside the file, a size the folder cannot hold, a
//    damaged or cut-off stream, an unwritable dest) raises an exception and
//    leaves no dest behind.
//  - plain: copies size bytes through one 512 KiB buffer; an item of size 0
//    gives an empty dest. Failures are absorbed: dest is then
//    missing (always so for a size the folder cannot hold), empty or partial.
void ExtractItem(const std::string& source, const std::string& dest, bool compressed,
                 int64_t size, int64_t packedSize, int64_t position);

// True when ext (a Windows-1252 extension field) can end a file name in the
// temporary folder: no path separators, no "..", no control bytes.
bool IsSafeExtension(const std::string& ext);

// TempFolder() + prefix + ext, with ext converted for the file system, for
// example TempItemPath("SSIMG", ".jpg"). Raises PayloadError for an unsafe
// extension, so the item fails as an undecodable one does.
std::string TempItemPath(const std::string& prefix, const std::string& ext);

}  // namespace saver
