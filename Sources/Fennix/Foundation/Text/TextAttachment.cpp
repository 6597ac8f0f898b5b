#include "Fennix/Foundation/Text/TextAttachment.h"

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
