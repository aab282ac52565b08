#pragma once
// The options every media player handle starts with, and the parsing of the
// SAVER_MPV_OPTIONS override ("name=value,name=value").
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace saver {

using TMpvOptions = std::vector<std::pair<std::string, std::string>>;

// Headless-safe defaults: no terminal, input, on-screen controls or config
// files; audio falls back to no output; video outputs that scale into an
// embedded window.
const TMpvOptions& DefaultMpvOptions();

// Splits "name=value,name=value". A piece without '=' continues the value
// before it, so a list value can be given: "vo=xv,x11,ao=null" sets vo to
// "xv,x11". Spaces around names and values are dropped; pieces without a
// name are ignored.
TMpvOptions ParseMpvOptions(std::string_view text);

}  // namespace saver
