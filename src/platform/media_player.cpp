#include "platform/media_player.h"

#include <mutex>
#include <set>

namespace saver {

namespace {

// Without a media backend nothing can be opened: the show goes on silent.
class NoMediaPlayer final : public IMediaPlayer {
 public:
  void SetFileName(const std::string& path) override { file_ = path; }
  std::string FileName() const override { return file_; }
  void Open() override { throw MediaError("no media player"); }
  void Close() override {}
  void Play() override { throw MediaError("no media player"); }
  void SetNotify(bool notify) override { notify_ = notify; }
  bool Notify() const override { return notify_; }
  void SetDisplay(TWindowHandle) override {}
  void SetDisplayRect(const TRect&) override {}
  TRect NaturalRect() const override { return {}; }

 private:
  std::string file_;
  bool notify_ = false;
};

std::mutex g_mutex;
TMediaPlayerFactory g_factory;
TMediaNoticeHandler g_noticeHandler;
std::set<std::string> g_noticed;
std::function<void()> g_forgo;

}  // namespace

std::unique_ptr<IMediaPlayer> CreateMediaPlayer() {
  TMediaPlayerFactory factory;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    factory = g_factory;
  }
  if (factory) return factory();
  return std::make_unique<NoMediaPlayer>();
}

void ForgoMediaLibrary() {
  std::function<void()> forgo;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    forgo = g_forgo;
  }
  if (forgo) forgo();
}

void SetMediaLibraryForgo(std::function<void()> forgo) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_forgo = std::move(forgo);
}

void SetMediaPlayerFactory(TMediaPlayerFactory factory) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_factory = std::move(factory);
}

void SetMediaNoticeHandler(TMediaNoticeHandler handler) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_noticeHandler = std::move(handler);
  g_noticed.clear();
}

void MediaNotice(const std::string& line) {
  TMediaNoticeHandler handler;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_noticed.insert(line).second) return;
    handler = g_noticeHandler;
  }
  if (handler) handler(line);
}

}  // namespace saver
