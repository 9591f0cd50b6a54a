#include "icon_scale.h"

#include <algorithm>

namespace egn::icon {

namespace {

// How much of old pixel `from` (of `old_size`) lies under new pixel `to` (of
// `new_size`), on a grid of old_size * new_size units a side: old pixels are
// new_size units wide, new ones old_size.
std::int64_t Overlap(int from, int to, int old_size, int new_size) {
  const std::int64_t begin =
      std::max<std::int64_t>(std::int64_t{from} * new_size, std::int64_t{to} * old_size);
  const std::int64_t end =
      std::min<std::int64_t>(std::int64_t{from + 1} * new_size, std::int64_t{to + 1} * old_size);
  return std::max<std::int64_t>(0, end - begin);
}

std::uint32_t Channel(std::uint32_t pixel, int shift) { return (pixel >> shift) & 0xffU; }

}  // namespace

Image ScaleByArea(const Image& image, int size) {
  const int old_size = image.size;
  Image scaled{size, std::vector<std::uint32_t>(static_cast<std::size_t>(size) * size)};
  const std::int64_t area = std::int64_t{old_size} * old_size;  // of one new pixel
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      std::int64_t alpha = 0, red = 0, green = 0, blue = 0;
      // Only the old pixels under this one: from floor(x * old / new) on.
      for (int sy = y * old_size / size; sy < old_size; ++sy) {
        const std::int64_t wy = Overlap(sy, y, old_size, size);
        if (wy == 0) break;
        for (int sx = x * old_size / size; sx < old_size; ++sx) {
          const std::int64_t wx = Overlap(sx, x, old_size, size);
          if (wx == 0) break;
          const std::uint32_t p = image.pixels[static_cast<std::size_t>(sy) * old_size + sx];
          const std::int64_t weight = wx * wy * Channel(p, 24);
          alpha += weight;
          red += weight * Channel(p, 16);
          green += weight * Channel(p, 8);
          blue += weight * Channel(p, 0);
        }
      }
      std::uint32_t pixel = 0;
      if (alpha != 0) {
        const auto round = [alpha](std::int64_t sum) {
          return static_cast<std::uint32_t>((sum + alpha / 2) / alpha);
        };
        const auto a = static_cast<std::uint32_t>((alpha + area / 2) / area);
        pixel = a << 24 | round(red) << 16 | round(green) << 8 | round(blue);
      }
      scaled.pixels[static_cast<std::size_t>(y) * size + x] = pixel;
    }
  }
  return scaled;
}

}  // namespace egn::icon
