// Labels: owner-drawn STATIC windows, so that each caption is an object a
// screen reader reaches (read as text, named by its caption) and not only
// pixels on the form. Drawn exactly as the form's surface would show them:
// the rectangle filled with the label's colour (the form's where it has
// none), the caption from the top edge, in the form's font; in high contrast
// the system's face and text. Never focused; clicks go through to the form.
#include "runtime/win32/control_makers.h"
#include "runtime/win32/values.h"

namespace egn::runtime {

namespace {

UINT AlignmentFormat(Alignment a) {
  switch (a) {
    case Alignment::kLeft:
      return DT_LEFT;
    case Alignment::kCenter:
      return DT_CENTER;
    case Alignment::kRight:
      return DT_RIGHT;
  }
  return DT_LEFT;
}

struct Look {
  std::optional<Colour> face;
  Alignment alignment;
  std::u16string caption;
};

void Draw(const DRAWITEMSTRUCT& item, const Look& look, const FormWindow& window) {
  RECT r = item.rcItem;
  COLORREF text = GetSysColor(COLOR_BTNTEXT);
  if (look.face) {
    const FaceColours colours = ColoursOf(*look.face);
    HBRUSH brush = CreateSolidBrush(colours.face);
    FillRect(item.hDC, &r, brush);
    DeleteObject(brush);
    text = colours.text;
  } else {
    FillRect(item.hDC, &r, window.background());
  }
  HGDIOBJ old = SelectObject(item.hDC, window.font());
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, text);
  DrawTextW(item.hDC, Wide(look.caption), -1, &r,
            AlignmentFormat(look.alignment) | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(item.hDC, old);
}

}  // namespace

std::unique_ptr<Control> MakeLabel(const ControlDescription& d, FormWindow& window, int id) {
  // Beneath any control it overlaps (made later in the tab order, it is
  // lower), and never painting over one.
  HWND label = window.CreateChild(d, L"STATIC", SS_OWNERDRAW | WS_CLIPSIBLINGS, 0, id);
  SetWindowTextW(label, Wide(d.text));
  window.AnnotateText(label, d.text);
  window.OnDrawItem(id, [look = Look{d.back_colour, d.alignment, d.text},
                         &window](const DRAWITEMSTRUCT& item) { Draw(item, look, window); });
  return std::make_unique<CaptionedControl>(d);
}

}  // namespace egn::runtime
