// Ten thousand rounds of "Изчисли" and "Изчисти" on the real window: the
// results stay right every time and resident memory stays flat.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <unistd.h>

#include <memory>

#include "runtime/qt/application.h"
#include "window/main_form.h"

namespace {

long ResidentBytes() {
  QFile statm("/proc/self/statm");
  if (!statm.open(QIODevice::ReadOnly)) return -1;
  const QList<QByteArray> fields = statm.readAll().split(' ');
  return fields.size() > 1 ? fields[1].toLong() * sysconf(_SC_PAGESIZE) : -1;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // the sanitizer's quarantine keeps freed memory resident
#else
constexpr bool kSanitized = false;
#endif

}  // namespace

class SoakTest : public QObject {
  Q_OBJECT

 private slots:
  void ten_thousand_rounds() {
    auto form = egn::runtime::LoadForm(egn::window::MainFormClass());
    QWidget& window = form->window();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto& code = static_cast<egn::window::MainForm&>(form->module());
    auto* calculate = window.findChild<QPushButton*>("Command1(0)");
    auto* clear = window.findChild<QPushButton*>("Command1(1)");
    QLineEdit* digits[9];
    for (int i = 0; i < 9; ++i)
      digits[i] = window.findChild<QLineEdit*>(QString("Text2(%1)").arg(i));
    const int weights[9] = {2, 4, 8, 5, 10, 9, 7, 3, 6};
    const auto text = [&](const char* array, std::int16_t i) {
      return QString::fromStdU16String(form->form().Array(array)(i).Text());
    };

    long baseline = 0;
    constexpr int kRounds = 10'000, kWarmUp = 200;
    for (int round = 0; round < kRounds; ++round) {
      if (round == kWarmUp) baseline = ResidentBytes();
      int sum = 0;
      for (int i = 0; i < 9; ++i) {
        const int d = (round * 7 + i * 3) % 10;
        QTest::keyClick(digits[i], static_cast<char>('0' + d));
        sum += d * weights[i];
      }
      QTest::mouseClick(calculate, Qt::LeftButton);
      const int digit = sum % 11 % 10;
      if (code.Sum != sum || text("Text2", 9) != QString::number(digit) ||
          text("Text1", 0) !=
              QString("Изчислена сума: %1\r\nПоследно число: %2\r\n").arg(sum).arg(digit)) {
        QFAIL(qPrintable(QString("round %1: wrong result").arg(round)));
      }
      QTest::mouseClick(clear, Qt::LeftButton);
      if (code.Sum != 0 || !text("Text1", 0).isEmpty() || !text("Text2", 0).isEmpty()) {
        QFAIL(qPrintable(QString("round %1: not cleared").arg(round)));
      }
    }
    const long growth = ResidentBytes() - baseline;
    qInfo("resident memory grew by %ld bytes over %d rounds", growth, kRounds - kWarmUp);
    if (kSanitized) return;
    QVERIFY(baseline > 0);
    QVERIFY2(growth < 1024L * 1024, qPrintable(QString("grew by %1 bytes").arg(growth)));
  }
};

QTEST_MAIN(SoakTest)
#include "soak_test.moc"
