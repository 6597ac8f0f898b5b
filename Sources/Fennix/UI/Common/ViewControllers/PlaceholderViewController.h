// A placeholder pane: a centred label that says "Lorem Ipsum" and, once the controller has a
// represented object, which object it is focused on. Lets a window's layout be tried before its
// real panes exist.
#pragma once

#include "Fennix/UI/Common/ViewControllers/ViewController.h"

class QvLoremVC : public QvViewControllerBase {
 public:
  QvLoremVC() = default;
  std::optional<Fennix::LayoutItem> makeView() override;
  void onObjectChange(const std::optional<Fennix::AnyValue>& old, const std::optional<Fennix::AnyValue>& new_) override;
};
