#pragma once
// The effect catalogue: one caption per effect number 1..116, in the order
// of the configuration panel's effect list. Rows 89 and 90 read the same
// and are different effects.
#include <cstdint>
#include <string_view>

namespace saver {

// The caption of effect 1..116; empty outside.
std::string_view EffectCaption(int32_t effect);

}  // namespace saver
