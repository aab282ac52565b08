#pragma once
// A whole desktop of test doubles, installed as the process's services for
// the lifetime of the object: a manual clock, the in-memory window system,
// a pumped UI thread, a recording shell and message box, scripted password
// libraries and media player, a recording wallpaper reload, a fixed desktop
// picture, cell-drawn text and a settings store in a scratch folder (which
// is also the temporary and the data folder).
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "payload/reader_test_file.h"
#include "platform/clock.h"
#include "doubles/fake_libraries.h"
#include "doubles/fake_window_system.h"
#include "doubles/recording_wallpaper_reload.h"
#include "doubles/scripted_media_player.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "platform/screen.h"
#include "doubles/recording_shell.h"
#include "platform/text.h"
#include "platform/ui_thread.h"
#include "trans/trans.h"

namespace saver::testing {

class FakeDesktop {
 public:
  FakeDesktop() : registry(scratch.Path("registry.json")) {
    ::setenv("SAVER_SYSTEM_DIR", scratch.Path("system").c_str(), 1);
    SetClock(&clock);
    SetWindowSystem(&ws);
    SetUiThread(&ui);
    SetShell(&shell);
    SetMessageBoxService(&box);
    SetLibraries(&libs);
    SetScreen(&screen);
    SetTextRenderer(&text);
    SetRegistry(&registry);
    SetWallpaperReload(&wallpaper);
    ::setenv("XDG_DATA_HOME", scratch.Path("data").c_str(), 1);
    SetMediaPlayerFactory([this] {
      auto p = std::make_unique<ScriptedMediaPlayer>();
      p->unplayable = unplayable;
      p->videos = videos;
      player = p.get();
      return p;
    });
    AbortTransition = false;
    SkipFinalFrame = false;
  }
  ~FakeDesktop() {
    SetClock(nullptr);
    SetWindowSystem(nullptr);
    SetUiThread(nullptr);
    SetShell(nullptr);
    SetMessageBoxService(nullptr);
    SetLibraries(nullptr);
    SetScreen(nullptr);
    SetTextRenderer(nullptr);
    SetRegistry(nullptr);
    SetWallpaperReload(nullptr);
    SetMediaPlayerFactory(nullptr);
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("SAVER_SYSTEM_DIR");
    AbortTransition = false;
    SkipFinalFrame = false;
  }

  // The full path a password library is looked for at.
  std::string SystemFile(const std::string& name) const { return scratch.Path("system/" + name); }

  ScratchDir scratch;
  ManualClock clock{100000};
  FakeWindowSystem ws{clock};
  PumpedUiThread ui;
  RecordingShell shell;
  RecordingMessageBox box;
  FakeLibraries libs;
  BitmapScreen screen;
  CellTextRenderer text;
  FileRegistry registry;
  RecordingWallpaperReload wallpaper;
  ScriptedMediaPlayer* player = nullptr;  // the last one made
  // What the players made from now on know of files (ScriptedMediaPlayer).
  std::set<std::string> unplayable;
  std::map<std::string, TRect> videos;
};

}  // namespace saver::testing
