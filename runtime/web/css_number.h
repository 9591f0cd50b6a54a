// Numbers as the page's style writes them, without the C library's printf
// (whose floating-point half, with its 128-bit long-double arithmetic, would
// be most of the formatting code in the page). Standard library only.
#pragma once

#include <string>

namespace egn::runtime {

// The decimal nearest `value` with at most six places, ties to even (what
// printf's "%.6f" gives, computed exactly from the double's bits), without
// trailing zeros or a point: 12 gives "12", 7395 / 15.0 "493", 100 / 15.0
// "6.666667", -0.25 "-0.25". A value that rounds to zero gives "0". A value
// that is not finite, or whose magnitude reaches 2^63, gives "0": no style
// the page writes comes near it.
std::string CssNumber(double value);

}  // namespace egn::runtime
