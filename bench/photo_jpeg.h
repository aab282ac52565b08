#pragma once
// A photo-like JPEG (quality 90) made in the benchmark itself: smooth
// gradients with fine grain and some structure, so that it compresses and
// decodes like a camera's picture. Different seeds give different pictures.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>  // after cstdio: it uses FILE and size_t

namespace saver::bench {

inline std::vector<uint8_t> PhotoJpeg(int32_t width, int32_t height, uint32_t seed = 0) {
  std::vector<uint8_t> rgb(size_t(width) * 3);
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = JDIMENSION(width);
  c.image_height = JDIMENSION(height);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  uint32_t noise = seed * 7919u + 1u;
  while (c.next_scanline < c.image_height) {
    const int32_t y = int32_t(c.next_scanline);
    for (int32_t x = 0; x < width; ++x) {
      noise = noise * 1664525u + 1013904223u;
      const int32_t grain = int32_t(noise >> 28) - 8;
      const int32_t wave = int32_t(std::sin((x + int32_t(seed) * 300) * 0.004) *
                                   std::cos(y * 0.003) * 40);
      rgb[size_t(x) * 3] = uint8_t(std::clamp(x * 255 / width + grain + wave, 0, 255));
      rgb[size_t(x) * 3 + 1] = uint8_t(std::clamp(y * 255 / height + grain, 0, 255));
      rgb[size_t(x) * 3 + 2] = uint8_t(std::clamp(((x ^ y) >> 5 & 63) + 96 + grain - wave, 0, 255));
    }
    JSAMPROW row = rgb.data();
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> jpeg(out, out + size);
  jpeg_destroy_compress(&c);
  std::free(out);
  return jpeg;
}

}  // namespace saver::bench
