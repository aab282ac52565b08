#include "platform/mpv/mpv_options.h"

namespace saver {

namespace {

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

}  // namespace

const TMpvOptions& DefaultMpvOptions() {
  static const TMpvOptions options = {
      {"config", "no"},
      {"terminal", "no"},
      {"idle", "yes"},
      {"keep-open", "no"},
      {"input-default-bindings", "no"},
      {"input-vo-keyboard", "no"},
      // Pointer and keys over the video belong to the window it is drawn
      // in: the video's own child window must not take them.
      {"input-cursor", "no"},
      {"cursor-autohide", "no"},
      {"osc", "no"},
      // No scripts at all: each would be one more thread per handle.
      {"load-scripts", "no"},
      {"ytdl", "no"},
      {"load-stats-overlay", "no"},
      {"load-osd-console", "no"},
      {"load-auto-profiles", "no"},
      // Music never shows its cover picture.
      {"audio-display", "no"},
      {"stop-screensaver", "no"},
      {"audio-fallback-to-null", "yes"},
      // Outputs that scale into the window they are given; the GPU one
      // through X11 only, never as a window of its own on a Wayland
      // session.
      {"vo", "gpu,xv,x11"},
      // The show sizes the video's window by its size mode; the video fills
      // it (stretched in the stretch mode).
      {"keepaspect", "no"},
      {"gpu-context", "x11egl"},
      {"hwdec", "no"},
  };
  return options;
}

TMpvOptions ParseMpvOptions(std::string_view text) {
  TMpvOptions options;
  bool continues = false;  // whether a piece without '=' extends the last value
  while (!text.empty()) {
    const auto comma = text.find(',');
    const std::string_view piece = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    const auto eq = piece.find('=');
    if (eq == std::string_view::npos) {
      const std::string_view more = Trim(piece);
      if (continues && !more.empty()) options.back().second.append(",").append(more);
      continue;
    }
    const std::string_view name = Trim(piece.substr(0, eq));
    continues = !name.empty();
    if (continues) options.emplace_back(std::string(name), std::string(Trim(piece.substr(eq + 1))));
  }
  return options;
}

}  // namespace saver
