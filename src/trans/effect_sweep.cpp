// Sweep From Inside Out (101) and Sweep From Outside In (102): a block an
// eighth of the picture in size walks a rectangular spiral and reveals the
// incoming picture wherever it passes.
#include "trans/effect_geometry.h"
#include "trans/effects.h"

namespace saver {

namespace {

class TSpiralWalk {
 public:
  TSpiralWalk(bool outward, int32_t wd, int32_t ht, int32_t n)
      : outward_(outward), bw_(CeilRatio(wd, 8)), bh_(CeilRatio(ht, 8)) {
    if (outward) {
      left_ = wd / 2 - bw_;
      top_ = ht / 2 - bh_;
      right_ = wd / 2;
      bottom_ = ht / 2;
      x_ = left_;
      y_ = top_;
    } else {
      left_ = top_ = -1;
      right_ = wd - bw_ + 1;
      bottom_ = ht - bh_ + 1;
    }
    // ceil(ht / (n / 4)): the height sets the speed in both directions.
    dx_ = CeilRatio(4 * int64_t(ht), n);
  }

  TRect Block() const { return TRect{x_, y_, x_ + bw_, y_ + bh_}; }

  // Moves one step and makes at most one turn. Each turn moves the limit
  // just passed one block outwards (or inwards), which makes the spiral.
  void Advance() {
    x_ += dx_;
    y_ += dy_;
    const int32_t sx = outward_ ? bw_ : -bw_, sy = outward_ ? bh_ : -bh_;
    if (dx_ > 0 && x_ >= right_) {
      top_ -= sy;
      dy_ = dx_;
      dx_ = 0;
      x_ = right_;
    } else if (dy_ > 0 && y_ >= bottom_) {
      right_ += sx;
      dx_ = -dy_;
      dy_ = 0;
      y_ = bottom_;
    } else if (dx_ < 0 && x_ <= left_) {
      bottom_ += sy;
      dy_ = dx_;
      dx_ = 0;
      x_ = left_;
    } else if (dy_ < 0 && y_ <= top_) {
      left_ -= sx;
      dx_ = -dy_;
      dy_ = 0;
      y_ = top_;
    }
  }

  // Outwards: the block has reached the top-left corner. Inwards: the
  // limits have crossed.
  bool Done() const {
    return outward_ ? x_ <= 0 && y_ <= 0 : right_ < left_ || bottom_ < top_;
  }

 private:
  bool outward_;
  int32_t bw_, bh_;
  int32_t left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
  int32_t x_ = 0, y_ = 0, dx_ = 0, dy_ = 0;
};

}  // namespace

void DoSweep(TTransThread& t, int32_t v) {
  if (t.FWidth <= 0 || t.FHeight <= 0) return;
  const int32_t n = t.Steps();
  TSpiralWalk walk(v == 1, t.FWidth, t.FHeight, n);
  bool done = false;
  for (int64_t i = 0; i <= 4 * int64_t(n) && !t.Aborted() && !done; ++i) {
    t.BeginFrame();
    const TRect block = ClipToPicture(walk.Block(), t);
    if (!block.IsEmpty()) {
      t.FSrcRect = t.FDstRect = block;
      t.PaintNew();
    }
    t.WaitFrame();
    walk.Advance();
    done = walk.Done();
  }
}

}  // namespace saver
