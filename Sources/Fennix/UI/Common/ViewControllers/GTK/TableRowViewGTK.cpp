#include "Fennix/UI/Common/ViewControllers/GTK/TableRowViewGTK.h"

namespace Fennix {

GtkTableRowView::~GtkTableRowView() {
  // Still floating: no row took it, and nobody else will.
  if (g_object_is_floating(object_)) {
    g_object_ref_sink(object_);
    g_object_unref(object_);
  }
  g_object_unref(object_);
}

NSTableRowView* GtkTableRowView::widget() const {
  // The widget's own wrapper while it lives; none is made afresh for an object whose widget is gone.
  return dynamic_cast<NSTableRowView*>(Glib::ObjectBase::_get_current_wrapper(object_));
}

bool GtkTableRowView::isEmphasized() const {
  const NSTableRowView* shown = widget();
  return shown ? shown->isEmphasized() : emphasized_;
}

void GtkTableRowView::setEmphasized(bool emphasized) {
  emphasized_ = emphasized;
  if (NSTableRowView* shown = widget()) shown->setEmphasized(emphasized);
}

}  // namespace Fennix
