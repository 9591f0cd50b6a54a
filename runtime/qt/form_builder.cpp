#include "runtime/qt/form_builder.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <vector>

#include "runtime/forms/appearance.h"
#include "runtime/forms/control_kinds.h"
#include "runtime/forms/forms.h"
#include "runtime/qt/control_makers.h"
#include "runtime/qt/values.h"

namespace egn::runtime {

namespace bundled_face {
std::span<const EmbeddedFile> EmbeddedFiles();  // made at build time
}  // namespace bundled_face

namespace {

// The description's face where it, or a face with its metrics, is installed
// (the platform's font matching says which one it found); otherwise the face
// the runtime carries, loaded then, once. The match is made on the window's
// own font, so that it costs only what the first paint would spend anyway.
void UseInstalledOrBundledFace(QFont& font, const std::string& face) {
  if (!BundledFaceServes(face)) return;
  const QString found = QFontInfo(font).family();
  if (found == font.family()) return;
  for (const std::string_view twin : MetricTwins(face)) {
    if (found == QString::fromUtf8(twin.data(), static_cast<qsizetype>(twin.size()))) return;
  }
  static const QString bundled = [] {
    const EmbeddedFile& file = bundled_face::EmbeddedFiles().front();
    const int id = QFontDatabase::addApplicationFontFromData(
        QByteArray::fromRawData(file.bytes.data(), static_cast<qsizetype>(file.bytes.size())));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    return families.isEmpty() ? QString() : families.front();
  }();
  if (!bundled.isEmpty()) font.setFamily(bundled);
}

QFont ToQFont(const FontDescription& d) {
  QFont font(QString::fromStdString(d.name));
  font.setPointSizeF(d.size_points);
  font.setWeight(static_cast<QFont::Weight>(d.weight));
  font.setItalic(d.italic);
  font.setUnderline(d.underline);
  font.setStrikeOut(d.strikeout);
  UseInstalledOrBundledFace(font, d.name);
  return font;
}

}  // namespace

BuiltForm BuildForm(const FormDescription& d, std::string_view icon) {
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
  if (d.back_colour && !HighContrast(QGuiApplication::palette())) {
    FillWith(window, QPalette::Window, *d.back_colour);
  }
  window.setFont(ToQFont(d.font));
  if (!icon.empty()) {
    // The image's format by its name's suffix, as for a file: Qt then reads
    // it with that format's reader instead of trying each in turn.
    const std::size_t dot = d.icon.find_last_of('.');
    const std::string format = dot == std::string::npos ? std::string() : d.icon.substr(dot + 1);
    QPixmap image;
    if (image.loadFromData(reinterpret_cast<const uchar*>(icon.data()),
                           static_cast<uint>(icon.size()),
                           format.empty() ? nullptr : format.c_str())) {
      window.setWindowIcon(QIcon(image));
    }
  }

  struct Focusable {
    int tab_index;
    QWidget* widget;
  };
  std::vector<Focusable> focus_chain;
  for (const ControlDescription& c : d.controls) {
    QtControl made = MakerFor(c.kind)(c, window);
    if (InfoFor(c.kind).takes_focus && c.visible) focus_chain.push_back({c.tab_index, made.widget});
    built.form->Adopt(std::move(made.control), c.index, c.name);
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
