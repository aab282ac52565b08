#include "compose.h"

#include <cstdio>
#include <exception>

#include "payload/compose/compose_frame.h"
#include "payload/decoders/png_writer.h"
#include "platform/desktop.h"

namespace saver {

int RunCompose(const TComposeRequest& request) {
  try {
    UseDesktopTextAndScreen();  // captions are drawn with the desktop's fonts
    const TBitmap32 frame =
        ComposeFrame(request.Saver, request.Index, request.Width, request.Height, request.Seed);
    WritePng(frame, request.Out, false);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "saver-inspect: %s: %s\n", request.Saver.c_str(), e.what());
    return 1;
  }
}

}  // namespace saver
