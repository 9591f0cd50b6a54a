// The reference for the start-up benchmark: the same window built by hand in
// plain Qt Widgets, with no stored description and no forms runtime. What it
// costs to start is what the window itself costs; the difference to
// egn-check is what the runtime costs.
#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include "bench/reference_texts.h"

namespace {

QLabel* Label(QWidget* window, QRect rect, QColor colour, const QString& text) {
  auto* label = new QLabel(text, window);
  label->setGeometry(rect);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setWordWrap(true);
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, colour);
  label->setPalette(palette);
  label->lower();
  return label;
}

QPushButton* Button(QWidget* window, QRect rect, const QString& face, const QString& text) {
  auto* button = new QPushButton(text, window);
  button->setGeometry(rect);
  button->setAutoDefault(false);
  button->setStyleSheet(
      QString("QPushButton { background-color: %1; border-width: 2px;"
              " border-style: solid; border-color: #ffffff #555555 #555555 #ffffff; }")
          .arg(face));
  return button;
}

QPlainTextEdit* Notes(QWidget* window, QRect rect, const QString& text) {
  auto* edit = new QPlainTextEdit(window);
  edit->setGeometry(rect);
  edit->setReadOnly(true);
  edit->setTabChangesFocus(true);
  edit->setWordWrapMode(QTextOption::WordWrap);
  edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  edit->setPlainText(QString(text).replace("\r\n", "\n"));
  return edit;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  window.setWindowTitle("https://egn-check.example/ Информатика - проверка на ЕГН");
  window.setFixedSize(493, 325);
  QPalette palette = window.palette();
  palette.setColor(QPalette::Window, QColor(192, 192, 255));
  window.setPalette(palette);
  window.setAutoFillBackground(true);
  QFont font("Times New Roman");
  font.setPointSizeF(12);
  window.setFont(font);
  window.setWindowIcon(QIcon(":/egn-check/forms/egn-check.xpm"));

  const QColor heading(255, 192, 128), weight(255, 255, 128);
  Label(&window, {64, 0, 305, 25}, heading, "Проверка на ЕГН - последна цифра");
  Label(&window, {8, 48, 57, 25}, heading, "Година");
  Label(&window, {72, 48, 57, 25}, heading, "Месец");
  Label(&window, {136, 48, 57, 25}, heading, "Ден");
  Label(&window, {200, 48, 89, 25}, heading, "Номер");
  Label(&window, {384, 8, 89, 25}, heading, "Код окръг");
  auto* list = new QListWidget(&window);
  list->setGeometry(296, 32, 193, 42);
  list->addItems(egn::window::testing::RegionItems());
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  QPlainTextEdit* task = Notes(&window, {8, 152, 473, 169}, egn::window::testing::TaskText());
  Notes(&window, {32, 200, 449, 121}, egn::window::testing::Motto())->hide();
  const QStringList weights = {"2", "4", "8", "5", "10", "9", "7", "3", "6", "?"};
  QWidget* previous = task;
  QList<QWidget*> late;
  for (int i = 0; i < 10; ++i) {
    auto* box = new QLineEdit(&window);
    box->setGeometry(8 + 32 * i, 80, 25, 27);
    box->setMaxLength(1);
    box->setAlignment(Qt::AlignCenter);
    Label(&window, {8 + 32 * i, 112, 25, 17}, weight, weights[i]);
    if (i == 9) {
      box->setReadOnly(true);
      late << box;
    } else {
      QWidget::setTabOrder(previous, box);
      previous = box;
    }
  }
  QPushButton* calculate = Button(&window, {336, 80, 97, 25}, "#80ff80", "Изчисли");
  QPushButton* clear = Button(&window, {384, 112, 97, 25}, "#ff8080", "Изчисти");
  QWidget::setTabOrder(previous, calculate);
  QWidget::setTabOrder(calculate, clear);
  QWidget::setTabOrder(clear, late.front());
  QWidget::setTabOrder(late.front(), list);
  task->setFocus();

  window.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window.size(),
                                         QGuiApplication::primaryScreen()->availableGeometry()));
  window.show();
  return QApplication::exec();
}
