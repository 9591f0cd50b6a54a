#include "runtime/core/error.h"

namespace egn::runtime {

namespace {

// "Грешка 1001: ..." is what what() returns: number and message together, so a
// log line or an uncaught exception still says everything.
std::string Describe(ErrorNumber number, const std::string& message) {
  return "Грешка " + std::to_string(static_cast<int>(number)) + ": " + message;
}

std::string Quoted(std::string_view name) { return "„" + std::string(name) + "“"; }

}  // namespace

RuntimeError::RuntimeError(ErrorNumber number, const std::string& message)
    : std::runtime_error(Describe(number, message)), number_(number), message_(message) {}

void RaiseOverflow() {
  throw RuntimeError(ErrorNumber::kOverflow,
                     "Препълване: стойността е извън обхвата на цяло число (от -32768 до 32767).");
}

void RaiseFloatingPointFault() {
  throw RuntimeError(ErrorNumber::kFloatingPointFault,
                     "Грешка при изчисление с плаваща запетая: недопустима операция, деление на "
                     "нула или препълване.");
}

void RaiseNoSuchControlArray(std::string_view array) {
  throw RuntimeError(ErrorNumber::kNoSuchControlArray,
                     "Прозорецът няма контрола с име " + Quoted(array) + ".");
}

void RaiseIndexOutOfRange(std::string_view array, std::int16_t index) {
  throw RuntimeError(ErrorNumber::kIndexOutOfRange, "Масивът от контроли " + Quoted(array) +
                                                        " няма елемент с индекс " +
                                                        std::to_string(index) + ".");
}

void RaisePropertyNotSupported(std::string_view control, std::string_view property) {
  throw RuntimeError(ErrorNumber::kPropertyNotSupported,
                     "Контролата " + Quoted(control) + " няма свойство " + Quoted(property) + ".");
}

}  // namespace egn::runtime
