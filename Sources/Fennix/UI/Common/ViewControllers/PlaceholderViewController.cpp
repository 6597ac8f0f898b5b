#include "Fennix/UI/Common/ViewControllers/PlaceholderViewController.h"

using Fennix::LayoutItem;

std::optional<LayoutItem> QvLoremVC::makeView() {
  auto& kit = Fennix::controllerViewKit();
  LayoutItem view = kit.makeGenericView();
  LayoutItem label = kit.makeLabel("Lorem Ipsum");
  Fennix::layoutHost()->addSubview(view, label);
  NSLayoutConstraint::activate({
      constrainViews(view, NSLayoutAttribute::width, NSLayoutRelation::greaterThanOrEqual, label,
                     NSLayoutAttribute::width),
      constrainViews(view, NSLayoutAttribute::height, NSLayoutRelation::greaterThanOrEqual, label,
                     NSLayoutAttribute::height),
      constrainViews(view, NSLayoutAttribute::centerX, NSLayoutRelation::equal, label, NSLayoutAttribute::centerX),
      constrainViews(view, NSLayoutAttribute::centerY, NSLayoutRelation::equal, label, NSLayoutAttribute::centerY),
  });
  return view;
}

void QvLoremVC::onObjectChange(const std::optional<Fennix::AnyValue>&, const std::optional<Fennix::AnyValue>&) {
  auto& kit = Fennix::controllerViewKit();
  auto own = view();
  if (!own) Fennix::fatalError("QvLoremVC has no view");
  auto label = qvSubview(*own, QvViewSearchOptions::deep(), [&](LayoutItem item) { return kit.isTextField(item); });
  if (!label) Fennix::fatalError("did not find subview of class NSTextField");
  auto object = representedObject();
  kit.setText(*label, "Lorem Ipsum focused on: " + (object ? object->description() : std::string("<nil>")));
  kit.wrapAtCurrentWidth(*label);
}
