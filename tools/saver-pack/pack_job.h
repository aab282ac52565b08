#pragma once
// Everything saver-pack needs to build one saver: the player, the files to
// embed and the record fields they are stored with. Text is Windows-1252.
#include <string>
#include <vector>

#include "payload/format/records.h"

namespace saver {

enum class TCompressMode { Auto, Always, Never };

struct TPackPicture {
  std::string File;
  std::string Mask;       // name of a mask in TPackJob::Masks; empty = MaskIndex as set
  PictureEntry Entry;     // caption and display fields; Ext defaults to the file's
};

struct TPackMask {
  std::string File;
  std::string Name;       // what pictures call it; defaults to the file's base name
};

struct TPackMusic {
  std::string File;
  std::string Ext;        // defaults to the file's
};

struct TPackJob {
  std::string Player;     // empty = the saver executable found beside saver-pack
  std::string Output;
  std::string Manifest;   // the manifest the job was read from, if any
  TCompressMode Compress = TCompressMode::Auto;
  bool Quiet = false;
  // Store JPEG and TIFF pictures as they are instead of turning them as
  // their orientation tag says.
  bool KeepOrientation = false;
  // Try every music track and video item with the player's media library
  // before writing.
  bool MediaCheck = true;

  PayloadTrailer Trailer;  // settings and background fields; sizes are computed
  ExtraData Text;
  std::string Preview;     // a picture file; empty = made from the first picture
  std::string Banner;      // any file; empty = no banner
  std::string Background;  // a picture file; empty = none

  // Caption and display fields every picture starts from.
  PictureEntry PictureDefaults;
  std::vector<TPackPicture> Pictures;
  std::vector<TPackMask> Masks;
  std::vector<TPackMusic> Music;
};

// A job with the documented defaults: 10 seconds, fitted, every effect,
// every exit input, white shadowed captions at the bottom centre.
TPackJob DefaultPackJob();

// Every effect number from 1 to 116, ascending.
std::string AllEffects();

// The file's extension with its dot, lower-cased as written ("" when none).
std::string ExtensionOf(const std::string& path);
// The same in lower case, for comparisons.
std::string LowerExtensionOf(const std::string& path);

}  // namespace saver
