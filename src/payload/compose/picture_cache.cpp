#include "payload/compose/picture_cache.h"

#include <algorithm>
#include <stdexcept>

namespace saver {

namespace {
size_t BitmapBytes(const TBitmap32* b) {
  return b ? size_t(b->Width()) * size_t(b->Height()) * sizeof(TColor32) : 0;
}
}  // namespace

size_t MemImageBytes(const TMemImage& image) {
  return BitmapBytes(image.Picture.get()) + BitmapBytes(image.Mask.get());
}

TPictureCache::TPictureCache(std::vector<TMemImage>& entries, size_t budgetBytes)
    : entries_(entries), budget_(budgetBytes) {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].Loaded) {
      recent_.push_front(int32_t(i));
      used_ += MemImageBytes(entries_[i]);
    }
}

TMemImage* TPictureCache::Find(int32_t index) {
  if (index < 0 || size_t(index) >= entries_.size() || !entries_[size_t(index)].Loaded)
    return nullptr;
  auto it = std::find(recent_.begin(), recent_.end(), index);
  if (it != recent_.end()) recent_.splice(recent_.begin(), recent_, it);
  return &entries_[size_t(index)];
}

TMemImage* TPictureCache::Store(int32_t index, TMemImage image) {
  if (index < 0 || size_t(index) >= entries_.size())
    throw std::out_of_range("picture cache index");
  Unload(index);
  if (MemImageBytes(image) > budget_) return nullptr;
  TMemImage& entry = entries_[size_t(index)];
  entry = std::move(image);
  entry.Loaded = true;
  used_ += MemImageBytes(entry);
  recent_.push_front(index);
  while (used_ > budget_) Unload(recent_.back());
  return &entry;
}

void TPictureCache::Unload(int32_t index) {
  TMemImage& entry = entries_[size_t(index)];
  auto it = std::find(recent_.begin(), recent_.end(), index);
  if (it == recent_.end()) return;
  recent_.erase(it);
  used_ -= std::min(used_, MemImageBytes(entry));
  entry = TMemImage();
}

TMemImage TPictureCache::Take(int32_t index) {
  TMemImage taken;
  if (index < 0 || size_t(index) >= entries_.size() || !entries_[size_t(index)].Loaded)
    return taken;
  taken = std::move(entries_[size_t(index)]);
  entries_[size_t(index)] = TMemImage();
  recent_.remove(index);
  used_ -= std::min(used_, MemImageBytes(taken));
  return taken;
}

void TPictureCache::Clear() {
  while (!recent_.empty()) Unload(recent_.front());
}

}  // namespace saver
