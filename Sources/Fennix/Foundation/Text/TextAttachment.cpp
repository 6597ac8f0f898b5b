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
  // Observers may come and go while they are told: tell those alive now, from a copy.
  std::vector<std::shared_ptr<std::function<void()>>> alive;
  auto& list = cellObservers_.list;
  for (auto observer = list.begin(); observer != list.end();) {
    if (auto live = observer->lock()) {
      alive.push_back(std::move(live));
      ++observer;
    } else {
      observer = list.erase(observer);
    }
  }
  for (const auto& changed : alive) (*changed)();
}

std::shared_ptr<void> NSTextAttachment::observeCellChanges(std::function<void()> changed) {
  auto token = std::make_shared<std::function<void()>>(std::move(changed));
  auto& list = cellObservers_.list;
  // Tokens that are gone make room whenever the list has doubled, so that a long-lived attachment
  // keeps a short list at a constant cost per observer.
  if (list.size() >= 2 * cellObservers_.prunedSize + 16) {
    list.erase(std::remove_if(list.begin(), list.end(), [](const auto& observer) { return observer.expired(); }),
               list.end());
    cellObservers_.prunedSize = list.size();
  }
  list.push_back(token);
  return token;
}
