#include "payload/picture_cache.h"

#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace saver {

size_t TMemImage::Bytes() const {
  auto bytes = [](const TBitmap32& b) {
    return size_t(b.Width()) * size_t(b.Height()) * sizeof(TColor32);
  };
  return bytes(Picture) + (Mask ? bytes(*Mask) : 0);
}

size_t DefaultPictureCacheBudget() {
  constexpr size_t kMax = size_t(1) << 30;
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return kMax;
  return std::min(kMax, size_t(pages) / 4 * size_t(pageSize));
}

TPictureCache::TPictureCache(size_t budgetBytes) : budget_(budgetBytes) {}

void TPictureCache::Reset(size_t count) {
  Clear();
  slots_.assign(count, Slot{});
}

bool TPictureCache::Loaded(int32_t index) const {
  return index >= 0 && size_t(index) < slots_.size() && slots_[size_t(index)].image.has_value();
}

TMemImage* TPictureCache::Find(int32_t index) {
  if (!Loaded(index)) return nullptr;
  Slot& slot = slots_[size_t(index)];
  recent_.splice(recent_.begin(), recent_, slot.recent);
  return &*slot.image;
}

TMemImage& TPictureCache::Store(int32_t index, TMemImage image) {
  if (index < 0) throw std::out_of_range("picture cache index");
  if (size_t(index) >= slots_.size()) slots_.resize(size_t(index) + 1);
  Drop(index);
  Slot& slot = slots_[size_t(index)];
  used_ += image.Bytes();
  slot.image = std::move(image);
  recent_.push_front(index);
  slot.recent = recent_.begin();
  while (used_ > budget_ && recent_.size() > 1) Drop(recent_.back());
  return *slots_[size_t(index)].image;
}

void TPictureCache::Drop(int32_t index) {
  Slot& slot = slots_[size_t(index)];
  if (!slot.image) return;
  used_ -= slot.image->Bytes();
  slot.image.reset();
  recent_.erase(slot.recent);
}

void TPictureCache::Clear() {
  for (Slot& s : slots_) s.image.reset();
  recent_.clear();
  used_ = 0;
}

}  // namespace saver
