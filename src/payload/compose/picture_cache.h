#pragma once
// The picture cache: a picture item decoded for a screen is kept as it is
// drawn there, so a picture shown again on that screen is only composed.
// The kept pictures are bounded by a memory budget: when a newly decoded
// picture would exceed it, the pictures shown longest ago are dropped (and
// decoded anew should they come up again). The show sets the budget by its
// screen, so that its memory does not grow with its pictures.
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "graphics/bitmap32.h"
#include "payload/format/payload_data.h"

namespace saver {

// Pixel memory of one entry: its picture and its mask.
size_t MemImageBytes(const TMemImage& image);

class TPictureCache {
 public:
  // Tracks entries, whose size must not change while this cache tracks it.
  // Entries already loaded count as shown, in index order.
  TPictureCache(std::vector<TMemImage>& entries, size_t budgetBytes);

  // The loaded entry of index, now the most recently shown; nullptr when it
  // is not loaded or index is out of range.
  TMemImage* Find(int32_t index);

  // Puts image (with its picture) into the entry of index as the most
  // recently shown, then drops the least recently shown others while the
  // total exceeds the budget. A picture larger than the whole budget is not
  // kept. Returns the entry, or nullptr when it was not kept.
  TMemImage* Store(int32_t index, TMemImage image);

  // Removes the entry of index from the cache and returns what it held
  // (Loaded false when it held nothing): a picture lent to another thread,
  // which Store gives back.
  TMemImage Take(int32_t index);

  void Clear();  // unloads every entry
  size_t UsedBytes() const { return used_; }
  size_t Budget() const { return budget_; }

 private:
  void Unload(int32_t index);

  std::vector<TMemImage>& entries_;
  size_t budget_;
  size_t used_ = 0;
  std::list<int32_t> recent_;  // loaded indices, most recently shown first
};

}  // namespace saver
