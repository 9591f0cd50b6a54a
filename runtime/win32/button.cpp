// Push buttons: pressed by a click, by Space and (through the form's
// keyboard) by Enter while focused; never the default button. In graphical
// style the program draws them: a solid face of their colour, the caption
// centred, sunken while held, the focus rectangle when focused; its caption
// readable on the face, and face and caption in the system's colours in
// high contrast.
#include "runtime/win32/control_makers.h"
#include "runtime/win32/values.h"

namespace egn::runtime {

namespace {

class ButtonControl : public CaptionedControl {
 public:
  ButtonControl(const ControlDescription& d, FormWindow& window, int id)
      : CaptionedControl(d), window_(window), id_(id) {}

  bool ConnectClick(const std::function<void()>& handler) override {
    window_.OnCommand(id_, [handler](WORD code) {
      if (code == BN_CLICKED) handler();
    });
    return true;
  }

 private:
  FormWindow& window_;
  int id_;
};

void Draw(const DRAWITEMSTRUCT& item, Colour colour, const std::u16string& caption, HFONT font) {
  RECT r = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const FaceColours colours = ColoursOf(colour);
  HBRUSH brush = CreateSolidBrush(colours.face);
  FillRect(item.hDC, &r, brush);
  DeleteObject(brush);
  DrawEdge(item.hDC, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  RECT text = r;
  if (pressed) OffsetRect(&text, 1, 1);
  HGDIOBJ old = SelectObject(item.hDC, font);
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, colours.text);
  DrawTextW(item.hDC, Wide(caption), -1, &text,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(item.hDC, old);
  if ((item.itemState & ODS_FOCUS) != 0) {
    InflateRect(&r, -3, -3);
    DrawFocusRect(item.hDC, &r);
  }
}

}  // namespace

std::unique_ptr<Control> MakeButton(const ControlDescription& d, FormWindow& window, int id) {
  const bool drawn = d.style == ButtonStyle::kGraphical && d.back_colour.has_value();
  HWND button = window.CreateChild(
      d, L"BUTTON", WS_TABSTOP | BS_NOTIFY | (drawn ? BS_OWNERDRAW : BS_PUSHBUTTON), 0, id);
  SetWindowTextW(button, Wide(d.text));
  window.AddButton(button, id);
  if (drawn) {
    window.OnDrawItem(
        id, [face = *d.back_colour, caption = d.text, &window](const DRAWITEMSTRUCT& item) {
          Draw(item, face, caption, window.font());
        });
  }
  return std::make_unique<ButtonControl>(d, window, id);
}

}  // namespace egn::runtime
