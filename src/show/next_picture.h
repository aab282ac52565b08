#pragma once
// The choice of the picture that the next tick of the show brings in.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace saver {

// A uniform random integer in [0, range).
using TRandomIndex = std::function<int32_t(int32_t range)>;

struct TPictureOrder {
  int32_t Counter = -1;             // the picture the next tick shows; -1 before the first choice
  std::vector<int32_t> OrderDeck;  // what is left of the shuffled deck (mixed order)
};

// Moves order.Counter to the picture after the one it names, for a show of
// count pictures in displayOrder (0 sequential, 1 random, 2 mixed: every
// picture once per shuffled deck). With startWithFirst picture 0 only opens
// the show and is never chosen again (when there are more). When the show
// has shrunk to one picture, selection (the effect-selection string) is
// cleared: from then on pictures come in at once.
//
// Any other displayOrder counts as sequential: the chooser must always give
// a picture of the show.
void ChooseNextCounter(TPictureOrder& order, int32_t count, int32_t displayOrder,
                       bool startWithFirst, std::string& selection, const TRandomIndex& random);

}  // namespace saver
