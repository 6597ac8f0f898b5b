#include "Fennix/Foundation/Text/TextAttachment.h"

#include <algorithm>

#include "Fennix/Foundation/System/Bundle.h"

const NSPasteboard::PasteboardType& NSPasteboard::PasteboardType::string() {
  static const PasteboardType type{"text/plain;charset=utf-8"};
  return type;
}

const NSPasteboard::PasteboardType& NSPasteboard::PasteboardType::qvDivider() {
  static const PasteboardType type{NSBundle::reverseDNSPrefix() + ".text.divider"};
  return type;
}

std::shared_ptr<NSTextAttachmentCell> NSTextAttachment::attachmentCell() const {
  if (!attachmentCell_) attachmentCell_ = std::make_shared<NSTextAttachmentCell>();
  return attachmentCell_;
}

void NSTextAttachment::setAttachmentCell(std::shared_ptr<NSTextAttachmentCell> cell) {
  attachmentCell_ = std::move(cell);
  pruneCellObservers();
  // Observers may come and go while they are told. Those who come now wait for the next change;
  // one whose token an earlier observer released is not told, so each is held only while it runs.
  const std::vector<std::weak_ptr<std::function<void()>>> observers = cellObservers_.list;
  for (const auto& observer : observers) {
    if (const auto changed = observer.lock()) (*changed)();
  }
}

void NSTextAttachment::pruneCellObservers() {
  auto& list = cellObservers_.list;
  list.erase(std::remove_if(list.begin(), list.end(), [](const auto& observer) { return observer.expired(); }),
             list.end());
  cellObservers_.prunedSize = list.size();
}

std::shared_ptr<void> NSTextAttachment::observeCellChanges(std::function<void()> changed) {
  auto token = std::make_shared<std::function<void()>>(std::move(changed));
  auto& list = cellObservers_.list;
  // Tokens that are gone make room whenever the list has doubled, so that a long-lived attachment
  // keeps a short list at a constant cost per observer.
  if (list.size() >= 2 * cellObservers_.prunedSize + 16) pruneCellObservers();
  list.push_back(token);
  return token;
}

std::size_t NSTextAttachment::cellObserverSlotsForTesting() const { return cellObservers_.list.size(); }
