// The media check over libmpv: one handle with no outputs that loads each
// file, paused, until its decoders have started.
#include <mpv/client.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/media_check.h"
#include "platform/mpv/mpv_library.h"

namespace saver {

namespace {

// How long one file may take to load and start playing.
constexpr std::chrono::seconds kFileTimeout{20};

}  // namespace

struct TMediaCheck::TState {
  const TMpvLibrary* Api = nullptr;
  mpv_handle* Handle = nullptr;

  std::string Text(const char* property) const {
    char* value = Api->get_property_string(Handle, property);
    if (!value) return {};
    std::string text = value;
    Api->free(value);
    return text;
  }

  // Starts loading path; returns its playlist entry (events of earlier
  // entries are not this file's), or a negative error code.
  int64_t Load(const std::string& path) const {
    const char* args[] = {"loadfile", path.c_str(), "replace", nullptr};
    mpv_node result{};
    if (const int error = Api->command_ret(Handle, args, &result); error < 0) return error;
    int64_t entry = 0;
    if (result.format == MPV_FORMAT_NODE_MAP)
      for (int i = 0; i < result.u.list->num; ++i)
        if (std::strcmp(result.u.list->keys[i], "playlist_entry_id") == 0 &&
            result.u.list->values[i].format == MPV_FORMAT_INT64)
          entry = result.u.list->values[i].u.int64;
    Api->free_node_contents(&result);
    return entry;
  }

  void Stop() const {
    const char* args[] = {"stop", nullptr};
    Api->command(Handle, args);
  }

  // Whether the file has a track of the type that is not a cover picture.
  bool HasTrack(const char* type) const {
    const int count = std::atoi(Text("track-list/count").c_str());
    for (int i = 0; i < count; ++i) {
      const std::string track = "track-list/" + std::to_string(i) + "/";
      if (Text((track + "type").c_str()) == type && Text((track + "albumart").c_str()) != "yes")
        return true;
    }
    return false;
  }
};

TMediaCheck::TMediaCheck() : state_(std::make_unique<TState>()) {
  // mpv refuses to start under another numeric locale.
  const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
  if (!numeric || std::strcmp(numeric, "C") != 0) std::setlocale(LC_NUMERIC, "C");
  TState& s = *state_;
  s.Api = MpvLibrary();
  if (!s.Api) throw MediaError("the media library (libmpv) is not installed");
  s.Handle = s.Api->create();
  if (!s.Handle) throw MediaError("the media library cannot start");
  // No outputs, nothing read but the file itself. Files start paused: a
  // file's decoders start, and nothing plays on to its end meanwhile.
  static const char* const kOptions[][2] = {
      {"config", "no"},    {"terminal", "no"},     {"idle", "yes"},      {"load-scripts", "no"},
      {"ytdl", "no"},      {"osc", "no"},          {"vo", "null"},       {"ao", "null"},
      {"pause", "yes"},    {"audio-display", "no"}, {"sub-auto", "no"},  {"audio-file-auto", "no"},
      {"input-default-bindings", "no"}};
  for (const auto& [name, value] : kOptions) s.Api->set_option_string(s.Handle, name, value);
  const int error = s.Api->initialize(s.Handle);
  if (error < 0) {
    s.Api->terminate_destroy(s.Handle);
    s.Handle = nullptr;
    throw MediaError(std::string("the media library cannot start: ") + s.Api->error_string(error));
  }
}

TMediaCheck::~TMediaCheck() {
  if (state_->Handle) state_->Api->terminate_destroy(state_->Handle);
}

std::string TMediaCheck::Problem(const std::string& path, TMediaKind kind) {
  TState& s = *state_;
  const bool music = kind == TMediaKind::Music;
  const int64_t entry = s.Load(path);
  if (entry < 0) return s.Api->error_string(int(entry));
  const auto deadline = std::chrono::steady_clock::now() + kFileTimeout;
  int64_t current = 0;  // the entry whose events come now
  for (;;) {
    const std::chrono::duration<double> left = deadline - std::chrono::steady_clock::now();
    if (left.count() <= 0) {
      s.Stop();
      return "the media library did not start playing it in time";
    }
    const mpv_event* e = s.Api->wait_event(s.Handle, left.count());
    if (e->event_id == MPV_EVENT_START_FILE) {
      current = static_cast<const mpv_event_start_file*>(e->data)->playlist_entry_id;
    } else if (e->event_id == MPV_EVENT_END_FILE) {
      const auto* end = static_cast<const mpv_event_end_file*>(e->data);
      if (end->playlist_entry_id != entry) continue;
      if (end->reason == MPV_END_FILE_REASON_ERROR) return s.Api->error_string(end->error);
      if (end->reason == MPV_END_FILE_REASON_REDIRECT) return "it is a playlist, not a media file";
      return "it ended before it played";
    } else if (current != entry) {
      continue;
    } else if (e->event_id == MPV_EVENT_FILE_LOADED) {
      if (!s.HasTrack(music ? "audio" : "video")) {
        s.Stop();
        return music ? "it has no sound" : "it has no picture";
      }
    } else if (e->event_id == MPV_EVENT_PLAYBACK_RESTART) {
      // Decoding has begun: the track the item needs must have its decoder.
      const bool decoding =
          !s.Text(music ? "current-tracks/audio/id" : "current-tracks/video/id").empty();
      s.Stop();
      return decoding ? "" : std::string("no decoder for its ") + (music ? "sound" : "picture");
    }
  }
}

}  // namespace saver
