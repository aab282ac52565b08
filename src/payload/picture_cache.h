#pragma once
// Decoded pictures, kept so that a picture shown again is not decoded again.
// The cache holds at most a memory budget of pixels: when a new picture
// would exceed it, the pictures shown longest ago are dropped (and decoded
// anew should they come up again), so a show of thousands of large photos
// stays within memory.
#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <vector>

#include "graphics/bitmap32.h"

namespace saver {

struct TMemImage {
  TBitmap32 Picture;              // the decoded picture at its own size
  std::optional<TBitmap32> Mask;  // its decoded mask at the mask's own size, or none
  size_t Bytes() const;
};

// A quarter of physical memory, at most 1 GiB.
size_t DefaultPictureCacheBudget();

class TPictureCache {
 public:
  explicit TPictureCache(size_t budgetBytes = DefaultPictureCacheBudget());

  // count entries, none loaded.
  void Reset(size_t count);
  size_t Count() const { return slots_.size(); }

  // The loaded entry of index, now the most recently shown; nullptr when it
  // is not loaded (or index is out of range).
  TMemImage* Find(int32_t index);
  bool Loaded(int32_t index) const;

  // Stores the decoded entry of index as the most recently shown, then drops
  // the least recently shown others while the total exceeds the budget. The
  // entry just stored always stays, even when it alone exceeds the budget.
  TMemImage& Store(int32_t index, TMemImage image);

  void Clear();  // drops every loaded entry
  size_t UsedBytes() const { return used_; }
  size_t Budget() const { return budget_; }

 private:
  struct Slot {
    std::optional<TMemImage> image;
    std::list<int32_t>::iterator recent;  // position in recent_ when loaded
  };
  void Drop(int32_t index);

  size_t budget_;
  size_t used_ = 0;
  std::vector<Slot> slots_;
  std::list<int32_t> recent_;  // loaded indices, most recently shown first
};

}  // namespace saver
