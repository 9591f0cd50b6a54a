// What every backend shares about the window's look on a machine that is not
// the one it was laid out on: which installed faces can stand in for the
// description's face (the same advance widths, so that a layout in twips
// still fits), the face the runtime carries for when none is installed, and
// a text colour that stays readable on a face colour the description fixes,
// whatever colour scheme the system sets.
#pragma once

#include <span>
#include <string_view>

#include "runtime/forms/form_model.h"

namespace egn::runtime {

// Installed faces with the same metrics as `face`; empty for a face the
// runtime knows no twin of.
std::span<const std::string_view> MetricTwins(std::string_view face);

// The family of the face the runtime carries (a subset of Liberation Serif
// under its own name, SIL Open Font License 1.1), and whether it can stand
// in for `face`.
inline constexpr std::string_view kBundledFamily = "EGN Check Serif";
bool BundledFaceServes(std::string_view face);

// The least contrast of readable text (WCAG 2, level AA).
inline constexpr double kReadableContrast = 4.5;
// WCAG 2 contrast ratio of two colours (1 to 21).
double ContrastRatio(Colour a, Colour b);
// The text colour for a face: the system's `preferred` text colour where it
// is readable there (at least 4.5:1, WCAG AA), otherwise black or white,
// whichever contrasts more.
Colour ReadableTextOn(Colour face, Colour preferred);

// 0x00BBGGRR from red, green, blue.
constexpr Colour Rgb(unsigned red, unsigned green, unsigned blue) {
  return red | (green << 8) | (blue << 16);
}

}  // namespace egn::runtime
