#pragma once
// saver-inspect --compose: one picture of a saver as the show composes it.
#include <cstdint>
#include <string>

namespace saver {

struct TComposeRequest {
  std::string Saver;
  int32_t Index = 0;   // picture number, from 0
  int32_t Width = 0, Height = 0;
  uint32_t Seed = 1;   // drives every random choice
  std::string Out;     // the PNG to write
};

// Writes the picture; on failure prints "saver-inspect: SAVER: reason" and
// returns 1, else 0.
int RunCompose(const TComposeRequest& request);

}  // namespace saver
