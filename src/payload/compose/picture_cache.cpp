#include "payload/compose/picture_cache.h"

#include <unistd.h>

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

size_t DefaultPictureCacheBudget() {
  constexpr size_t kMax = size_t(1) << 30;
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return kMax;
  return std::min(kMax, size_t(pages) / 4 * size_t(pageSize));
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

TMemImage& TPictureCache::Store(int32_t index, TBitmap32 picture,
                                std::unique_ptr<TBitmap32> mask) {
  if (index < 0 || size_t(index) >= entries_.size())
    throw std::out_of_range("picture cache index");
  Unload(index);
  TMemImage& entry = entries_[size_t(index)];
  entry.Picture = std::make_unique<TBitmap32>(std::move(picture));
  entry.Mask = std::move(mask);
  entry.Loaded = true;
  used_ += MemImageBytes(entry);
  recent_.push_front(index);
  while (used_ > budget_ && recent_.size() > 1) Unload(recent_.back());
  return entry;
}

void TPictureCache::Unload(int32_t index) {
  TMemImage& entry = entries_[size_t(index)];
  auto it = std::find(recent_.begin(), recent_.end(), index);
  if (it == recent_.end()) return;
  recent_.erase(it);
  used_ -= std::min(used_, MemImageBytes(entry));
  entry.Picture.reset();
  entry.Mask.reset();
  entry.Loaded = false;
}

TMemImage TPictureCache::Take(int32_t index) {
  TMemImage taken;
  if (index < 0 || size_t(index) >= entries_.size() || !entries_[size_t(index)].Loaded)
    return taken;
  TMemImage& entry = entries_[size_t(index)];
  taken.Loaded = true;
  taken.Picture = std::move(entry.Picture);
  taken.Mask = std::move(entry.Mask);
  recent_.remove(index);
  used_ -= std::min(used_, MemImageBytes(taken));
  entry.Loaded = false;
  return taken;
}

void TPictureCache::Clear() {
  while (!recent_.empty()) Unload(recent_.front());
}

}  // namespace saver
