// List boxes: the items in order, none selected, scrolled vertically.
#include <QListWidget>

#include "runtime/qt/control_makers.h"
#include "runtime/qt/values.h"

namespace egn::runtime {

QtControl MakeListBox(const ControlDescription& d, QWidget& window) {
  auto* list = new QListWidget(&window);
  ApplyCommon(d, *list);
  for (const std::u16string& item : d.items) list->addItem(ToQString(item));
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  list->setCurrentRow(-1);
  if (d.back_colour) FillWith(*list, QPalette::Base, *d.back_colour);
  // The list box has no property that a procedure reads or writes.
  return {std::make_unique<Control>(d.kind, d.DisplayName()), list};
}

}  // namespace egn::runtime
