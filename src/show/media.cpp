// Music, video items and the wallpaper key.
#include "show/saver_window.h"

namespace saver {

void TSSWindow::StartMusic() {}
void TSSWindow::StopMedia() {}
void TSSWindow::RemoveMusicFile() {}
void TSSWindow::SetCurrentImageAsWallpaper() {}
void TSSWindow::RemoveTemporaryFiles() {}

}  // namespace saver
