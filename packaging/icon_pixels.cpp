// Build-time tool of the web build: the window's image at one size for the
// web app's icons, scaled by the same integer arithmetic as the desktop's
// icons (icon_scale.h), so that the site's PNGs are the same bytes on any
// processor. The web build has no Qt, so this reads the XPM itself and runs
// under Node; runtime/web/make_site.py writes the pixels as PNG.
//
//   icon_pixels ICON.xpm SIZE OUTPUT    writes SIZE x SIZE pixels to OUTPUT,
//                                       row by row, 4 bytes each: R G B A
//
// The XPM is read as the window's image is stored: a square image, one or
// more characters a pixel, each colour "#RRGGBB" or "None" (transparent).
#include "icon_scale.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The XPM's strings in order, the C comments between them left out.
std::vector<std::string> QuotedStrings(const std::string& text) {
  std::vector<std::string> strings;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "/*") == 0) {
      const std::size_t end = text.find("*/", i + 2);
      if (end == std::string::npos) break;
      i = end + 1;
    } else if (text[i] == '"') {
      const std::size_t end = text.find('"', i + 1);
      if (end == std::string::npos) throw std::runtime_error("a string is not closed");
      strings.push_back(text.substr(i + 1, end - i - 1));
      i = end;
    }
  }
  return strings;
}

// A colour's value as 0xAARRGGBB: "None" is transparent, "#RRGGBB" opaque.
std::uint32_t Colour(const std::string& line, std::size_t key_length) {
  std::istringstream words(line.substr(key_length));
  std::string word, value;
  while (words >> word) {
    if (word == "c" && words >> value) break;
  }
  if (value == "None") return 0;
  if (value.size() == 7 && value[0] == '#' &&
      value.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos) {
    return 0xff000000U | static_cast<std::uint32_t>(std::stoul(value.substr(1), nullptr, 16));
  }
  throw std::runtime_error("the colour \"" + line + "\" is neither #RRGGBB nor None");
}

egn::icon::Image ReadXpm(const std::string& text) {
  const std::vector<std::string> strings = QuotedStrings(text);
  if (strings.empty()) throw std::runtime_error("it holds no XPM image");
  int width = 0, height = 0, colours = 0, per_pixel = 0;
  std::istringstream(strings[0]) >> width >> height >> colours >> per_pixel;
  if (width <= 0 || width != height || colours <= 0 || per_pixel <= 0) {
    throw std::runtime_error("its first string \"" + strings[0] +
                             "\" is not that of a square image");
  }
  if (strings.size() != static_cast<std::size_t>(1 + colours + height)) {
    throw std::runtime_error("it has " + std::to_string(strings.size()) + " strings, not " +
                             std::to_string(1 + colours + height));
  }
  const auto key_length = static_cast<std::size_t>(per_pixel);
  std::map<std::string, std::uint32_t> palette;
  for (int i = 1; i <= colours; ++i) {
    palette[strings[i].substr(0, key_length)] = Colour(strings[i], key_length);
  }
  egn::icon::Image image{width, {}};
  for (int y = 0; y < height; ++y) {
    const std::string& row = strings[1 + colours + y];
    if (row.size() != key_length * width) {
      throw std::runtime_error("row " + std::to_string(y) + " is not " + std::to_string(width) +
                               " pixels wide");
    }
    for (int x = 0; x < width; ++x) {
      const auto found = palette.find(row.substr(key_length * x, key_length));
      if (found == palette.end()) {
        throw std::runtime_error("row " + std::to_string(y) + " has a pixel of no colour");
      }
      image.pixels.push_back(found->second);
    }
  }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: icon_pixels ICON.xpm SIZE OUTPUT\n");
    return 2;
  }
  const int size = std::atoi(argv[2]);
  if (size <= 0 || size > 4096) {
    std::fprintf(stderr, "icon_pixels: the size %s is not from 1 to 4096\n", argv[2]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  egn::icon::Image image;
  try {
    if (!in.is_open()) throw std::runtime_error("it cannot be read");
    image = ReadXpm(std::string{std::istreambuf_iterator<char>(in), {}});
  } catch (const std::exception& e) {
    std::fprintf(stderr, "icon_pixels: %s: %s\n", argv[1], e.what());
    return 1;
  }
  std::string bytes;
  for (const std::uint32_t p : egn::icon::ScaleByArea(image, size).pixels) {
    for (const int shift : {16, 8, 0, 24}) bytes.push_back(static_cast<char>(p >> shift & 0xff));
  }
  std::ofstream out(argv[3], std::ios::binary);
  if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush()) {
    std::fprintf(stderr, "icon_pixels: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
