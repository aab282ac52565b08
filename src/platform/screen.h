#pragma once
// The primary screen: its size and a capture of what the desktop shows.
#include <cstdint>
#include <utility>

#include "graphics/bitmap32.h"

namespace saver {

class IScreen {
 public:
  virtual ~IScreen() = default;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  // Copies the whole screen, from its origin, onto canvas at (0, 0), clipped to
  // canvas; the copied pixels are opaque.
  virtual void CaptureDesktop(TBitmap32& canvas) = 0;
};

// Test double and headless fallback: a screen showing a fixed picture
// (800 x 600 black unless replaced).
class BitmapScreen final : public IScreen {
 public:
  BitmapScreen();
  explicit BitmapScreen(TBitmap32 desktop) : desktop_(std::move(desktop)) {}
  int32_t Width() const override { return desktop_.Width(); }
  int32_t Height() const override { return desktop_.Height(); }
  void CaptureDesktop(TBitmap32& canvas) override;
  TBitmap32& Desktop() { return desktop_; }

 private:
  TBitmap32 desktop_;
};

// The process's screen: a BitmapScreen unless one was set.
IScreen& Screen();
void SetScreen(IScreen* screen);  // nullptr restores the default

}  // namespace saver
