// The chooser of the next picture, over many draws of a real generator.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "show/next_picture.h"

namespace saver {
namespace {

struct Chooser {
  explicit Chooser(uint32_t seed) : rng(seed) {}
  std::vector<int32_t> Draw(int32_t n, int32_t order, bool startWithFirst, int count) {
    std::vector<int32_t> out;
    for (int i = 0; i < count; ++i) {
      ChooseNextCounter(state, n, order, startWithFirst, selection, random);
      out.push_back(state.Counter);
    }
    return out;
  }
  TPictureOrder state;
  std::string selection = "\x01\x02";
  std::mt19937 rng;
  TRandomIndex random = [this](int32_t range) {
    return std::uniform_int_distribution<int32_t>(0, range - 1)(rng);
  };
};

TEST(NextPicture, RandomOrderNeverRepeatsAPictureAndSkipsTheStartPicture) {
  for (int32_t n = 2; n <= 5; ++n)
    for (bool startWithFirst : {false, true}) {
      Chooser c(uint32_t(n * 7 + startWithFirst));
      const std::vector<int32_t> drawn = c.Draw(n, 1, startWithFirst, 300);
      std::set<int32_t> seen(drawn.begin(), drawn.end());
      EXPECT_EQ(int32_t(seen.size()), startWithFirst ? n - 1 : n) << n;
      if (startWithFirst) {
        EXPECT_EQ(seen.count(0), 0u);
      }
      if (startWithFirst && n == 2) continue;  // only picture 1 is left
      for (size_t i = 1; i < drawn.size(); ++i) ASSERT_NE(drawn[i], drawn[i - 1]) << n;
    }
}

TEST(NextPicture, MixedOrderShowsEachPictureOncePerDeckWithoutARepeatAtTheSeam) {
  for (int32_t n = 2; n <= 7; ++n) {
    Chooser c{uint32_t(n)};
    const std::vector<int32_t> drawn = c.Draw(n, 2, false, n * 20);
    for (int32_t deck = 0; deck < 20; ++deck) {
      std::set<int32_t> once(drawn.begin() + deck * n, drawn.begin() + (deck + 1) * n);
      EXPECT_EQ(int32_t(once.size()), n) << "n " << n << " deck " << deck;
      if (deck > 0) {
        EXPECT_NE(drawn[size_t(deck * n)], drawn[size_t(deck * n - 1)]);
      }
    }
  }
  // With the start picture kept out, the decks go on without it.
  Chooser c(99);
  for (int32_t p : c.Draw(4, 2, true, 60)) EXPECT_NE(p, 0);
}

TEST(NextPicture, SequentialWrapsAndAnUnknownOrderCountsAsSequential) {
  for (int32_t order : {0, 3, -1}) {
    Chooser c(1);
    EXPECT_EQ(c.Draw(3, order, false, 5), (std::vector<int32_t>{0, 1, 2, 0, 1})) << order;
  }
}

TEST(NextPicture, TransitionsStopWhenTheShowIsDownToOnePicture) {
  struct Case {
    int32_t n, previous;
    bool startWithFirst, keepsEffects;
  };
  for (const Case& c : {Case{0, -1, false, false}, Case{1, 0, false, false},
                        Case{2, 0, true, true}, Case{2, 1, true, false},
                        Case{3, 1, true, true}, Case{2, 1, false, true}}) {
    Chooser ch(5);
    ch.state.Counter = c.previous;
    ch.Draw(c.n, 0, c.startWithFirst, 1);
    EXPECT_EQ(!ch.selection.empty(), c.keepsEffects)
        << "n " << c.n << " previous " << c.previous << " start " << c.startWithFirst;
  }
}

}  // namespace
}  // namespace saver
