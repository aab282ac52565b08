// Choosing the effect and its step count, and the catalogue captions.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "trans/catalogue.h"
#include "trans/effects.h"
#include "trans/trans.h"

namespace saver {
namespace {

TEST(TransStepRule, FixedTablesForTheTwoClassicWidths) {
  const std::array<int32_t, 10> at800 = {800, 600, 400, 200, 100, 60, 40, 20, 8, 4};
  const std::array<int32_t, 10> at1024 = {1024, 768, 400, 256, 128, 64, 32, 16, 8, 4};
  for (int32_t speed = 1; speed <= 10; ++speed) {
    EXPECT_EQ(SlideshowStepCount(800, speed), at800[size_t(speed - 1)]) << speed;
    EXPECT_EQ(SlideshowStepCount(1024, speed), at1024[size_t(speed - 1)]) << speed;
  }
}

TEST(TransStepRule, OtherWidthsGiveAMultipleOfFourNeverBelowFour) {
  EXPECT_EQ(SlideshowStepCount(1920, 4), 480);
  EXPECT_EQ(SlideshowStepCount(1920, 7), 272);  // 274 made a multiple of 4
  EXPECT_EQ(SlideshowStepCount(3840, 1), 3840);
  EXPECT_EQ(SlideshowStepCount(1366, 3), 452);  // 455 -> 452
  // A narrow window at high speed would give 0 steps.
  EXPECT_EQ(SlideshowStepCount(30, 10), 4);
  EXPECT_EQ(SlideshowStepCount(0, 4), 4);
  EXPECT_EQ(SlideshowStepCount(-640, 4), 4);
}

TEST(TransStepRule, SpeedIsKeptWithinOneToTen) {
  EXPECT_EQ(SlideshowStepCount(1920, 0), SlideshowStepCount(1920, 1));
  EXPECT_EQ(SlideshowStepCount(1920, -7), SlideshowStepCount(1920, 1));
  EXPECT_EQ(SlideshowStepCount(1920, 11), SlideshowStepCount(1920, 10));
  EXPECT_EQ(SlideshowStepCount(800, 255), 4);
}

TEST(TransRandomEffect, EmptyAndSingleSelections) {
  ReseedTransitionRandom(1);
  EXPECT_EQ(RandomEffect(""), 0);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(RandomEffect(std::string(1, char(42))), 42);
  // Bytes are returned as they are; out-of-range numbers are the thread's business.
  EXPECT_EQ(RandomEffect(std::string(1, char(200))), 200);
}

TEST(TransRandomEffect, EveryPositionIsEquallyLikely) {
  std::string all;
  for (int e = 1; e <= kEffectCount; ++e) all.push_back(char(e));
  ReseedTransitionRandom(2024);
  std::array<int, 256> counts{};
  const int draws = 116 * 400;
  for (int i = 0; i < draws; ++i) counts[RandomEffect(all)]++;
  EXPECT_EQ(counts[0], 0);
  for (int e = 1; e <= kEffectCount; ++e) {
    EXPECT_GT(counts[size_t(e)], 300) << e;  // expected 400; 5 sigma is 100
    EXPECT_LT(counts[size_t(e)], 500) << e;
  }
  // A number present twice is twice as likely.
  std::array<int, 256> twice{};
  for (int i = 0; i < 30000; ++i) twice[RandomEffect("\x05\x05\x09")]++;
  EXPECT_NEAR(double(twice[5]) / twice[9], 2.0, 0.15);
}

TEST(TransRandomEffect, ReseedingRepeatsTheSequence) {
  const std::string sel = "\x01\x02\x03\x04\x05\x06\x07\x08";
  ReseedTransitionRandom(77);
  std::string first, second;
  for (int i = 0; i < 32; ++i) first.push_back(char(RandomEffect(sel)));
  ReseedTransitionRandom(77);
  for (int i = 0; i < 32; ++i) second.push_back(char(RandomEffect(sel)));
  EXPECT_EQ(first, second);
}

TEST(TransCatalogue, CaptionsInOrder) {
  EXPECT_EQ(EffectCaption(1), "Slide From Up Left");
  EXPECT_EQ(EffectCaption(10), "Door Open");
  EXPECT_EQ(EffectCaption(20), "Sliding Columns From Up & Bottom");
  EXPECT_EQ(EffectCaption(23), "Unfold From Left");
  EXPECT_EQ(EffectCaption(64), "Download From Up");
  EXPECT_EQ(EffectCaption(65), "Line Drop From Right");
  EXPECT_EQ(EffectCaption(82), "Propeller Counter-Clockwise");
  EXPECT_EQ(EffectCaption(114), "Quattro Zoom In");
  EXPECT_EQ(EffectCaption(116), "Fade To Black");
  EXPECT_EQ(EffectCaption(0), "");
  EXPECT_EQ(EffectCaption(117), "");
  // Two rows share a caption; every other caption is unique.
  EXPECT_EQ(EffectCaption(89), "Quarter Clock To Up Left");
  EXPECT_EQ(EffectCaption(90), EffectCaption(89));
  for (int a = 1; a <= kEffectCount; ++a)
    for (int b = a + 1; b <= kEffectCount; ++b)
      if (!(a == 89 && b == 90)) {
        EXPECT_NE(EffectCaption(a), EffectCaption(b)) << a << " " << b;
      }
}

TEST(TransCatalogue, EveryEffectHasOneFamilyWithItsVariant) {
  EXPECT_EQ(FindEffectFamily(0), nullptr);
  EXPECT_EQ(FindEffectFamily(117), nullptr);
  struct Case { int effect; TEffectRoutine routine; int variant; };
  for (Case c : {Case{1, DoSlide, 1}, {22, DoSlide, 22}, {23, DoUnfold, 1}, {64, DoUnfold, 42},
                 {65, DoLineDrop, 1}, {68, DoLineDrop, 4}, {69, DoBoxOut, 0}, {70, DoBoxIn, 0},
                 {71, DoEllipse, 1}, {76, DoEllipse, 6}, {77, DoShape, 1}, {95, DoShape, 19},
                 {96, DoRandom, 1}, {100, DoRandom, 5}, {101, DoSweep, 1}, {102, DoSweep, 2},
                 {103, DoZoom, 1}, {114, DoZoom, 12}, {115, DoFade, 1}, {116, DoFade, 2}}) {
    const TEffectFamily* f = FindEffectFamily(c.effect);
    ASSERT_NE(f, nullptr) << c.effect;
    EXPECT_EQ(f->Routine, c.routine) << c.effect;
    EXPECT_EQ(c.effect - f->Base, c.variant) << c.effect;
  }
}

}  // namespace
}  // namespace saver
