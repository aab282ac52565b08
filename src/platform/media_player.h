#pragma once
// The media player: plays one music track or video file at a time. Video
// is drawn into a native window (a panel of the show). The end of playback
// is reported on the UI thread when the end notification is on.
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "graphics/rect.h"
#include "platform/message.h"

namespace saver {

class MediaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class IMediaPlayer {
 public:
  virtual ~IMediaPlayer() = default;

  virtual void SetFileName(const std::string& path) = 0;
  virtual std::string FileName() const = 0;
  // Opens FileName, ready to play from its start. With a display set (a
  // video) the file is loaded here, and Open raises MediaError when it
  // cannot be played (missing, unreadable, not a media file). Without one
  // (sound) it loads in the background, so the caller never waits: a file
  // that cannot be played then ends playback as a failure (OnNotify(false)).
  virtual void Open() = 0;
  // Stops and forgets the open file; never reports an end.
  virtual void Close() = 0;
  // Plays the open file. Raises MediaError when nothing is open.
  virtual void Play() = 0;
  // While on, the end of playback calls OnNotify(true) when the file played
  // to its end and OnNotify(false) when playback failed; off, it is silent.
  virtual void SetNotify(bool notify) = 0;
  virtual bool Notify() const = 0;

  // Video output: the native window to draw into (0: none) and where in it.
  // The window must be shown before a video is opened in it (it may lie
  // outside its parent's area until the video's size places it): one shown
  // while the video loads may stay empty.
  virtual void SetDisplay(TWindowHandle window) = 0;
  virtual void SetDisplayRect(const TRect& rect) = 0;
  // After Open: the video's natural size as (0, 0, width, height); empty
  // for a file without video.
  virtual TRect NaturalRect() const = 0;

  // Runs on the UI thread.
  std::function<void(bool success)> OnNotify;
};

// Makes the process's media players: the desktop's once UseMpvMediaPlayer
// ran, else whatever a test set.
std::unique_ptr<IMediaPlayer> CreateMediaPlayer();
using TMediaPlayerFactory = std::function<std::unique_ptr<IMediaPlayer>()>;
void SetMediaPlayerFactory(TMediaPlayerFactory factory);

// What keeps the media backend from playing (no media library, no sound
// device) is said once per process, one line each, through this handler on
// the UI thread; without one the lines go nowhere.
using TMediaNoticeHandler = std::function<void(const std::string& line)>;
void SetMediaNoticeHandler(TMediaNoticeHandler handler);
// For backends: passes line on, unless it was said before.
void MediaNotice(const std::string& line);

// Makes CreateMediaPlayer give players on the desktop's media library
// (implemented by the media backend). Needs the UI thread service and the C
// numeric locale; call it after the desktop has started, and only in a
// program that plays (the library takes tens of megabytes). When the
// library is missing or cannot start, that is a notice. The library loads
// in the background once StartMediaLibrary is called (or a player needs it
// at once, or after two seconds): a track opened before then starts when it
// has loaded.
void UseMpvMediaPlayer();
// Lets the media library load: call it once the program has shown what it
// shows first, since loading takes a core for a moment.
void StartMediaLibrary();
// Keeps the media library from loading at all (it takes tens of megabytes):
// for a show that has nothing to play. Players made before still work
// without it, as players do where the library is missing.
void ForgoMediaLibrary();
// For backends: what ForgoMediaLibrary does.
void SetMediaLibraryForgo(std::function<void()> forgo);

}  // namespace saver
