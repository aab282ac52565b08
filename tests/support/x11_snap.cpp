// x11-snap OUT.png: writes what the X server of $DISPLAY shows on its root
// window as a PNG. The demo and the end-to-end tests look at the saver with it.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>
#include <exception>

#include "graphics/bitmap32.h"
#include "payload/decoders/png_writer.h"

int main(int argc, char** argv) {
  if (argc != 2 || !std::strcmp(argv[1], "--help")) {
    std::fputs("Usage: x11-snap OUT.png\nWrites the root window of $DISPLAY as a PNG.\n",
               argc == 2 ? stdout : stderr);
    return argc == 2 ? 0 : 2;
  }
  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    std::fputs("x11-snap: cannot open the display\n", stderr);
    return 1;
  }
  const Window root = DefaultRootWindow(d);
  XWindowAttributes a;
  XGetWindowAttributes(d, root, &a);
  XImage* image = XGetImage(d, root, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
  if (!image) {
    std::fputs("x11-snap: cannot read the root window\n", stderr);
    return 1;
  }
  saver::TBitmap32 shot(a.width, a.height);
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      shot.SetPixel(x, y, saver::TColor32(XGetPixel(image, x, y)) | 0xFF000000u);
  XDestroyImage(image);
  XCloseDisplay(d);
  try {
    saver::WritePng(shot, argv[1], false);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "x11-snap: %s\n", e.what());
    return 1;
  }
  return 0;
}
