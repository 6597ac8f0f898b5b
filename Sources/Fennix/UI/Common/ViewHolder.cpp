#include "Fennix/UI/Common/ViewHolder.h"

#include "Fennix/UI/Common/FatalError.h"

std::vector<Fennix::LayoutItem> QvViewHolder::allViews() const {
  std::vector<Fennix::LayoutItem> views;
  for (const auto& child : mirrorChildren())
    if (child.view && *child.view) views.push_back(*child.view);
  return views;
}

std::map<std::string, Fennix::LayoutItem> QvViewHolder::idToView() const {
  std::map<std::string, Fennix::LayoutItem> map;
  forEach([&](const std::string& label, Fennix::LayoutItem view) { map[label] = view; });
  return map;
}

void QvViewHolder::assignIDs() const {
  Fennix::LayoutHost* host = Fennix::layoutHost();
  if (!host) Fennix::fatalError("no layout host: identifiers can only be set once the toolkit is set up");
  forEach([&](const std::string& label, Fennix::LayoutItem view) {
    if (!host->identifier(view)) host->setIdentifier(view, label);
  });
}
