// A horizontal divider line inside attributed text: the attachment, its cell that draws a thin
// grey rule across the line, and the pasteboard item that copies a divider as plain text or as
// the library's own divider type.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Fennix/Foundation/Text/TextAttachment.h"

class QvDividerTextAttachment : public NSTextAttachment {
 public:
  class Cell : public NSTextAttachmentCell {
   public:
    Cell() = default;
    // A divider cell shows neither text nor an image.
    explicit Cell(const std::string& textCell) = delete;

    /// x of the fragment, y 0, the fragment's width less the padding at both ends, height 11.
    NSTextAttachmentFrame cellFrame(const NSTextAttachmentFrame& proposedLineFragment,
                                    double lineFragmentPadding) const override;
    /// One grid-coloured line across the frame at its vertical middle, offset by half a point so
    /// that a one-point line covers whole pixels.
    std::vector<NSTextAttachmentStroke> draw(const NSTextAttachmentFrame& withFrame) const override;
  };

  /// A divider: an attachment without data whose cell is a new divider cell.
  QvDividerTextAttachment();
  /// An attachment of data that keeps the plain attachment's behaviour and sets no divider cell:
  /// asked for its cell, it has the plain one.
  QvDividerTextAttachment(std::optional<std::string> data, std::optional<std::string> ofType);

  /// The shared divider, made on first use; assigning it changes what `make()` returns.
  static std::shared_ptr<QvDividerTextAttachment> shared();
  static void setShared(std::shared_ptr<QvDividerTextAttachment> attachment);
  /// The shared divider (the same object on every call).
  static std::shared_ptr<QvDividerTextAttachment> make();

  /// Whether `other` is a divider attachment.
  static bool isEqual(const NSTextAttachment* other);

  /// The divider as plain text: read once, on first use, from the standard defaults under
  /// "QvDividerPlainStringRepresentation"; 19 × U+23AF when the key is absent.
  static const std::string& plainStringRepresentationStatic();
  std::optional<std::string> plainStringRepresentation() const { return plainStringRepresentationStatic(); }

  /// The divider type, then plain text.
  std::vector<NSPasteboard::PasteboardType> writableTypes() const override;
  /// What a new pasteboard item gives for the type, whatever the attachment's cell (an attachment
  /// of data has the plain one).
  std::optional<std::string> pasteboardPropertyList(const NSPasteboard::PasteboardType& forType) const override;
};

/// A divider on a pasteboard.
class QvTextDividerPBItem : public std::enable_shared_from_this<QvTextDividerPBItem> {
 public:
  QvTextDividerPBItem() = default;

  /// An item read from a pasteboard: made only for the divider type, whatever the data.
  static std::shared_ptr<QvTextDividerPBItem> fromPasteboardPropertyList(const std::string& propertyList,
                                                                         const NSPasteboard::PasteboardType& ofType);

  static const std::vector<NSPasteboard::PasteboardType>& readableTypes();
  static const std::vector<NSPasteboard::PasteboardType>& writableTypes();

  /// "──────────" (10 × U+2500) for plain text and the divider type; none for other types.
  std::optional<std::string> pasteboardPropertyList(const NSPasteboard::PasteboardType& forType) const;

  /// An item holds nothing of its own, so a copy is the item itself.
  std::shared_ptr<QvTextDividerPBItem> copy() { return shared_from_this(); }
};
