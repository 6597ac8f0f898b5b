// Objects that stand in attributed text (the text holds U+FFFC where one stands) and the cells
// that size and draw them. Drawing is described, not done: a cell answers the strokes of its
// picture in the coordinates of its frame, and the toolkit layer paints them.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Fennix/Foundation/Text/Color.h"

/// The kinds of data a pasteboard item can be written as.
class NSPasteboard {
 public:
  struct PasteboardType {
    std::string rawValue;
    bool operator==(const PasteboardType& other) const = default;

    /// Plain UTF-8 text.
    static const PasteboardType& string();
    /// A text divider: the application's reverse-DNS prefix followed by ".text.divider".
    static const PasteboardType& qvDivider();
  };
};

/// A rectangle of a text container, y growing downwards.
struct NSTextAttachmentFrame {
  double x = 0, y = 0, width = 0, height = 0;
  bool operator==(const NSTextAttachmentFrame& other) const = default;
};

/// A straight line a cell draws, with the platform's default line width of 1.
struct NSTextAttachmentStroke {
  double fromX = 0, fromY = 0, toX = 0, toY = 0;
  NSColor color;
};

/// A cell: how much room an attachment takes on its line and what it draws. The plain cell is the
/// one the text system gives an attachment without a cell of its own: it takes the text system's
/// one-point placeholder and draws nothing, so the text view shows the attachment as it shows any
/// object it has no picture for.
class NSTextAttachmentCell {
 public:
  virtual ~NSTextAttachmentCell() = default;

  /// The offset of the cell's baseline from its origin.
  virtual std::pair<double, double> cellBaselineOffset() const { return {0, 0}; }
  /// The frame of the cell on a line fragment; `lineFragmentPadding` is the text container's
  /// inset at both ends of a line.
  virtual NSTextAttachmentFrame cellFrame(const NSTextAttachmentFrame& proposedLineFragment,
                                          double lineFragmentPadding) const {
    (void)lineFragmentPadding;
    return {proposedLineFragment.x, 0, 1, 1};
  }
  /// The strokes that draw the cell in `frame`.
  virtual std::vector<NSTextAttachmentStroke> draw(const NSTextAttachmentFrame& withFrame) const {
    (void)withFrame;
    return {};
  }
};

class NSTextAttachment {
 public:
  /// An attachment of some data (absent for none) of a content type; it has no cell of its own
  /// until one is asked for or set.
  explicit NSTextAttachment(std::optional<std::string> data = std::nullopt,
                            std::optional<std::string> ofType = std::nullopt)
      : contents_(std::move(data)), fileType_(std::move(ofType)) {}
  virtual ~NSTextAttachment() = default;

  const std::optional<std::string>& contents() const { return contents_; }
  const std::optional<std::string>& fileType() const { return fileType_; }

  /// The cell that sizes and draws the attachment. An attachment without one gets a plain cell
  /// on first access (also after its cell was set to none), so this is never empty.
  std::shared_ptr<NSTextAttachmentCell> attachmentCell() const;
  /// Gives the attachment another cell (none for the plain one) and tells the views that show it.
  void setAttachmentCell(std::shared_ptr<NSTextAttachmentCell> cell);

  /// Runs `changed` after every change of the cell for as long as the answered token lives. Views
  /// that show the attachment follow its cell so; they and the attachment live on the main thread.
  [[nodiscard]] std::shared_ptr<void> observeCellChanges(std::function<void()> changed);
  /// How many observers the attachment keeps room for, including those whose tokens are gone but
  /// not yet cleared away.
  std::size_t cellObserverSlotsForTesting() const;

  /// The kinds of data the attachment can be copied as; none by default.
  virtual std::vector<NSPasteboard::PasteboardType> writableTypes() const { return {}; }
  /// The attachment as data of `type`; none when it cannot be written so.
  virtual std::optional<std::string> pasteboardPropertyList(const NSPasteboard::PasteboardType& forType) const {
    (void)forType;
    return std::nullopt;
  }

 private:
  /// Clears away the observers whose tokens are gone.
  void pruneCellObservers();

  std::optional<std::string> contents_;
  std::optional<std::string> fileType_;
  // Made on first access by a const reader, as the text system's own default.
  mutable std::shared_ptr<NSTextAttachmentCell> attachmentCell_;
  /// Those who follow the cell; a copy of the attachment has none of its own yet.
  struct CellObservers {
    CellObservers() = default;
    CellObservers(const CellObservers&) {}
    CellObservers& operator=(const CellObservers&) { return *this; }
    std::vector<std::weak_ptr<std::function<void()>>> list;
    std::size_t prunedSize = 0;
  } cellObservers_;
};
