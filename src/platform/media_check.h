#pragma once
// Whether a music or video file can be played, asked of the media library
// the player plays with, but with no sound or picture output (implemented by
// the media backend). saver-pack checks the items it packs with it.
#include <memory>
#include <string>

#include "platform/media_player.h"

namespace saver {

enum class TMediaKind { Music, Video };

class TMediaCheck {
 public:
  // Starts the media library; raises MediaError when it is not installed or
  // cannot start.
  TMediaCheck();
  ~TMediaCheck();
  TMediaCheck(const TMediaCheck&) = delete;
  TMediaCheck& operator=(const TMediaCheck&) = delete;

  // Empty when the file plays as the kind says: it loads, and its sound
  // (music) or picture (video) decodes. Otherwise why not, such as
  // "unrecognized file format" or "it has no sound".
  std::string Problem(const std::string& path, TMediaKind kind);

 private:
  struct TState;
  std::unique_ptr<TState> state_;
};

}  // namespace saver
