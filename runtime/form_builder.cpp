#include "runtime/form_builder.h"

#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <vector>

#include "runtime/control_kinds.h"
#include "runtime/controls_qt.h"
#include "runtime/qt_values.h"

namespace egn::runtime {

namespace {

QFont ToQFont(const FontDescription& d) {
  QFont font(QString::fromStdString(d.name));
  font.setPointSizeF(d.size_points);
  font.setWeight(static_cast<QFont::Weight>(d.weight));
  font.setItalic(d.italic);
  font.setUnderline(d.underline);
  font.setStrikeOut(d.strikeout);
  return font;
}

}  // namespace

BuiltForm BuildForm(const FormDescription& d, const ImageResolver& images) {
  BuiltForm built;
  built.window = std::make_unique<QWidget>();
  built.form = std::make_unique<Form>();
  QWidget& window = *built.window;

  window.setObjectName(QString::fromStdString(d.name));
  window.setWindowTitle(ToQString(d.caption));
  Qt::WindowFlags flags = Qt::Window;
  if (d.border == BorderStyle::kFixedSingle) {
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
             Qt::WindowCloseButtonHint;
  }
  window.setWindowFlags(flags);
  const QSize client(TwipsToPixels(d.client_width), TwipsToPixels(d.client_height));
  if (d.border == BorderStyle::kFixedSingle) {
    window.setFixedSize(client);
  } else {
    window.resize(client);
  }
  if (d.back_colour) FillWith(window, QPalette::Window, *d.back_colour);
  window.setFont(ToQFont(d.font));
  if (!d.icon.empty()) window.setWindowIcon(QIcon(images(d.icon)));

  struct Focusable {
    int tab_index;
    QWidget* widget;
  };
  std::vector<Focusable> focus_chain;
  for (const ControlDescription& c : d.controls) {
    const ControlKindInfo& kind = InfoFor(c.kind);
    std::unique_ptr<Control> control = kind.create(c, window);
    if (kind.takes_focus && c.visible) focus_chain.push_back({c.tab_index, control->widget()});
    built.form->Adopt(std::move(control), c.index, c.name);
  }
  std::sort(focus_chain.begin(), focus_chain.end(),
            [](const Focusable& a, const Focusable& b) { return a.tab_index < b.tab_index; });
  for (std::size_t i = 1; i < focus_chain.size(); ++i) {
    QWidget::setTabOrder(focus_chain[i - 1].widget, focus_chain[i].widget);
  }
  if (!focus_chain.empty()) focus_chain.front().widget->setFocus(Qt::OtherFocusReason);

  if (d.position == StartPosition::kCenterScreen) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      window.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, client,
                                             screen->availableGeometry()));
    }
  }
  return built;
}

}  // namespace egn::runtime
