// Resizing the window's pixel-art icon by exact integer arithmetic, so that
// every size is the same bytes on any processor (a smoothing filter with
// SIMD paths gives different low bits from one processor to the next).
#pragma once

#include <cstdint>
#include <vector>

namespace egn::icon {

// A square image of 0xAARRGGBB pixels (straight alpha), row by row.
struct Image {
  int size = 0;
  std::vector<std::uint32_t> pixels;
};

// The image at `size` pixels by area averaging: each new pixel is the mean of
// the old pixels it covers, weighted by the area covered and by their alpha
// (a transparent neighbour lends no colour), rounded to nearest. A whole
// multiple therefore repeats every pixel as a block and stays sharp; other
// sizes blend only along the seams between old pixels, never across a whole
// pixel, which is how pixel art keeps its shape at 24 or 48 pixels.
Image ScaleByArea(const Image& image, int size);

}  // namespace egn::icon
