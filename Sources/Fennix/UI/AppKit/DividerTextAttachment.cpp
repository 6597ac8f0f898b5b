#include "Fennix/UI/AppKit/DividerTextAttachment.h"

#include <mutex>

#include "Fennix/Foundation/UserDefaults.h"

namespace {

std::mutex sharedMutex;
std::shared_ptr<QvDividerTextAttachment> sharedDivider;

// The colour of grid lines in tables, which dividers share.
const NSColor gridColor(0.8, 0.8, 0.8, 1.0);

std::string repeated(std::string_view piece, int count) {
  std::string result;
  for (int i = 0; i < count; ++i) result += piece;
  return result;
}

}  // namespace

NSTextAttachmentFrame QvDividerTextAttachment::Cell::cellFrame(const NSTextAttachmentFrame& proposedLineFragment,
                                                               double lineFragmentPadding) const {
  return {proposedLineFragment.x, 0, proposedLineFragment.width - 2 * lineFragmentPadding, 11};
}

std::vector<NSTextAttachmentStroke> QvDividerTextAttachment::Cell::draw(const NSTextAttachmentFrame& withFrame) const {
  const double y = withFrame.y + withFrame.height * 0.5 + 0.5;
  return {{withFrame.x, y, withFrame.x + withFrame.width, y, gridColor}};
}

QvDividerTextAttachment::QvDividerTextAttachment() : NSTextAttachment(std::nullopt, std::nullopt) {
  setAttachmentCell(std::make_shared<Cell>());
}

QvDividerTextAttachment::QvDividerTextAttachment(std::optional<std::string> data, std::optional<std::string> ofType)
    : NSTextAttachment(std::move(data), std::move(ofType)) {}

std::shared_ptr<QvDividerTextAttachment> QvDividerTextAttachment::shared() {
  const std::lock_guard<std::mutex> lock(sharedMutex);
  if (!sharedDivider) sharedDivider = std::make_shared<QvDividerTextAttachment>();
  return sharedDivider;
}

void QvDividerTextAttachment::setShared(std::shared_ptr<QvDividerTextAttachment> attachment) {
  const std::lock_guard<std::mutex> lock(sharedMutex);
  sharedDivider = std::move(attachment);
}

std::shared_ptr<QvDividerTextAttachment> QvDividerTextAttachment::make() { return shared(); }

bool QvDividerTextAttachment::isEqual(const NSTextAttachment* other) {
  return dynamic_cast<const QvDividerTextAttachment*>(other) != nullptr;
}

const std::string& QvDividerTextAttachment::plainStringRepresentationStatic() {
  static const std::string text = [] {
    if (auto defaults = NSUserDefaults::standard()) {
      if (auto stored = defaults->string("QvDividerPlainStringRepresentation")) return *stored;
    }
    return repeated("\u23AF", 19);
  }();
  return text;
}

std::vector<NSPasteboard::PasteboardType> QvDividerTextAttachment::writableTypes() const {
  return {NSPasteboard::PasteboardType::qvDivider(), NSPasteboard::PasteboardType::string()};
}

std::optional<std::string> QvDividerTextAttachment::pasteboardPropertyList(
    const NSPasteboard::PasteboardType& forType) const {
  // Whatever cell draws the attachment (the divider's own, one it was given, or the plain cell an
  // attachment of data has), it copies as a divider.
  return QvTextDividerPBItem().pasteboardPropertyList(forType);
}

std::shared_ptr<QvTextDividerPBItem> QvTextDividerPBItem::fromPasteboardPropertyList(
    const std::string& propertyList, const NSPasteboard::PasteboardType& ofType) {
  (void)propertyList;  // a divider carries nothing beyond its type
  if (!(ofType == NSPasteboard::PasteboardType::qvDivider())) return nullptr;
  return std::make_shared<QvTextDividerPBItem>();
}

const std::vector<NSPasteboard::PasteboardType>& QvTextDividerPBItem::readableTypes() {
  static const std::vector<NSPasteboard::PasteboardType> types{NSPasteboard::PasteboardType::qvDivider()};
  return types;
}

const std::vector<NSPasteboard::PasteboardType>& QvTextDividerPBItem::writableTypes() {
  static const std::vector<NSPasteboard::PasteboardType> types{NSPasteboard::PasteboardType::qvDivider(),
                                                               NSPasteboard::PasteboardType::string()};
  return types;
}

std::optional<std::string> QvTextDividerPBItem::pasteboardPropertyList(
    const NSPasteboard::PasteboardType& forType) const {
  if (forType == NSPasteboard::PasteboardType::string() || forType == NSPasteboard::PasteboardType::qvDivider()) {
    return repeated("\u2500", 10);
  }
  return std::nullopt;
}
