#include "show/next_picture.h"

#include <utility>

namespace saver {

namespace {

int32_t DrawFromDeck(TPictureOrder& order, int32_t n, int32_t previous,
                     const TRandomIndex& random) {
  std::vector<int32_t>& deck = order.OrderDeck;
  if (deck.empty()) {
    for (int32_t i = 0; i < n; ++i) deck.push_back(i);
    // Shuffle by random swaps, at least 3n of them, until the new deck does
    // not start with the picture just shown.
    for (int64_t k = 1;; ++k) {
      std::swap(deck[size_t(random(n))], deck[size_t(random(n))]);
      if (n < 2 || (k > 3 * int64_t(n) && deck.back() != previous)) break;
    }
  }
  const int32_t next = deck.back();
  deck.pop_back();
  return next;
}

}  // namespace

void ChooseNextCounter(TPictureOrder& order, int32_t n, int32_t displayOrder,
                       bool startWithFirst, std::string& selection, const TRandomIndex& random) {
  const int32_t previous = order.Counter;
  if (n > 0) {
    // With startWithFirst picture 0 opens the show and is not chosen again.
    const bool skipFirst = startWithFirst && n > 1;
    const int32_t allowed = skipFirst ? n - 1 : n;
    do {
      switch (displayOrder) {
        case 1: {
          int32_t c;
          do {
            c = random(n);
          } while ((skipFirst && c == 0) || (allowed >= 2 && c == previous));
          order.Counter = c;
          break;
        }
        case 2:
          order.Counter = DrawFromDeck(order, n, previous, random);
          break;
        default:
          // Sequential; a stored order the panel cannot set counts as sequential too.
          order.Counter = (order.Counter + 1) % n;
          break;
      }
    } while (skipFirst && order.Counter <= 0);
  }
  // A show down to one picture has nothing to pass from and to.
  if (n <= 1 || (startWithFirst && n <= 2 && previous != 0)) selection.clear();
}

}  // namespace saver
