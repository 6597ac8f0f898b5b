#include "SVGQuarvel/Views/DocumentWindowModel.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>

#include "Fennix/console/Console.h"
#include "QuarvelUtilities/TypedFileDrop.h"
#include "SVGQuarvel/Model/DocumentFile.h"

namespace SVGQuarvelViews {

SwiftEditorStatus swiftEditorStatus(const SVGQuarvelDocument& document) {
  SwiftEditorStatus status;
  if (document.svgString.get().empty()) {
    status.showsContent = false;
    return status;
  }
  if (document.rebuildFailed.get()) {
    status.statusText = "Could not parse SVG?";
  } else if (document.swift.get().empty()) {
    status.statusText = "Could not generate Swift?";
  }
  if (document.isRebuilding.get()) status.loadingText = "Loading ...";
  return status;
}

MainToolbarState mainToolbarState(bool stackVertically, const SVGQuarvelDocument& document) {
  return {stackVertically ? "rectangle.split.2x1" : "rectangle.split.1x2", document.isSwiftModified(),
          !document.swift.get().empty()};
}

DocumentWindowModel::DocumentWindowModel(std::shared_ptr<SVGQuarvelDocument> document,
                                         std::shared_ptr<NSUserDefaults> layoutDefaults, double initialFontSize)
    : document_(std::move(document)),
      layoutDefaults_(std::move(layoutDefaults)),
      fontSize_(std::max(initialFontSize, minimumFontSize)) {
  reloadLayout();
  if (layoutDefaults_) {
    // Every window writes and reads the same key: a change in one re-lays out all of them.
    defaultsObserver_ = NotificationCenter::defaultCenter().addObserver(
        NSUserDefaults::didChangeNotification, layoutDefaults_.get(), DispatchQueue::main(),
        [this](const Notification&) { reloadLayout(); });
  }
}

DocumentWindowModel::~DocumentWindowModel() {
  if (defaultsObserver_) NotificationCenter::defaultCenter().removeObserver(defaultsObserver_);
}

void DocumentWindowModel::reloadLayout() {
  bool stacked = true;
  if (layoutDefaults_ && layoutDefaults_->object(stackVerticallyKey)) stacked = layoutDefaults_->bool_(stackVerticallyKey);
  if (stacked == stackVertically_) return;
  stackVertically_ = stacked;
  layoutDidChange_.send(stackVertically_);
}

void DocumentWindowModel::setStackVertically(bool stacked) {
  if (layoutDefaults_) {
    layoutDefaults_->set(stacked, stackVerticallyKey);  // the observer re-lays out every window
    reloadLayout();
  } else if (stacked != stackVertically_) {
    stackVertically_ = stacked;
    layoutDidChange_.send(stackVertically_);
  }
}

void DocumentWindowModel::setFontSize(double size) {
  if (!std::isfinite(size)) return;
  size = std::max(size, minimumFontSize);
  if (size == fontSize_) return;
  fontSize_ = size;
  fontSizeDidChange_.send(fontSize_);
}

void DocumentWindowModel::handleFontChange(int action, std::optional<double> selectedFontSize) {
  switch (static_cast<NSFontAction>(action)) {
    case NSFontAction::viaPanelFontAction:
      setFontSize(std::trunc(selectedFontSize.value_or(fontSize_)));
      break;
    case NSFontAction::addTraitFontAction:
    case NSFontAction::removeTraitFontAction:
      std::cout << "ADD traits" << std::endl;
      break;
    case NSFontAction::sizeUpFontAction:
      increaseFontSize();
      break;
    case NSFontAction::sizeDownFontAction:
      decreaseFontSize();
      break;
    default:
      std::cout << "CHANGE FONT: " << action << std::endl;
  }
}

void DocumentWindowModel::setTargeted(bool targeted) {
  if (targeted == isTargeted_) return;
  isTargeted_ = targeted;
  targetedDidChange_.send(isTargeted_);
}

void DocumentWindowModel::refuseTooLargeDrop(const std::optional<std::filesystem::path>& file, std::uint64_t bytes) {
  const auto size = std::size_t(std::min<std::uint64_t>(bytes, std::numeric_limits<std::size_t>::max()));
  const std::string detail = SVGQuarvelDocument::tooLargeToOpenMessage(
      file ? std::optional(SVGQuarvel::displayFileName(*file)) : std::nullopt, size);
  console::defaultConsole()->error(dropRefusedHeading, detail);
  dropRefused_.send(DropError{dropRefusedHeading, detail});
}

std::optional<std::vector<std::uint8_t>> DocumentWindowModel::readDroppedFile(const std::filesystem::path& url,
                                                                             std::string& error, bool* tooLarge) {
  // Bounded as a drawing that opens: text in UTF-16 takes up to twice its bytes in the file.
  constexpr std::size_t largestFile = 2 * SVGQuarvelDocument::maximumOpenedSVGBytes + 2;
  *tooLarge = false;
  std::error_code noSize;
  const auto fileBytes = std::filesystem::file_size(url, noSize);
  try {
    if (!noSize && fileBytes > largestFile) {
      *tooLarge = true;
      return std::nullopt;
    }
    const std::string text = SVGQuarvel::readTextFileDetectingEncoding(url, largestFile);
    if (text.size() > SVGQuarvelDocument::maximumOpenedSVGBytes) {
      *tooLarge = true;
      return std::nullopt;
    }
    return std::vector<std::uint8_t>(text.begin(), text.end());
  } catch (const CocoaError& failure) {
    if (failure.code() == CocoaError::fileReadTooLarge) {
      *tooLarge = true;
    } else {
      error = failure.what();
    }
    return std::nullopt;
  }
}

void DocumentWindowModel::refuseUnreadableDrop(const std::filesystem::path& file, const std::string& reason) {
  console::defaultConsole()->error(dropRefusedHeading, reason, SVGQuarvel::displayText(file.string()));
  dropRefused_.send(DropError{dropRefusedHeading, reason});
}

void DocumentWindowModel::receiveDrop(const std::vector<std::uint8_t>& data) {
  // Larger text would not open again once saved, and would take the window with it while it
  // converts: the drop reads no more than one byte past it.
  static_assert(QuarvelUtilities::TypedDropDelegate::maximumDropSize == SVGQuarvelDocument::maximumOpenedSVGBytes + 1);
  if (data.size() > SVGQuarvelDocument::maximumOpenedSVGBytes) {
    refuseTooLargeDrop(std::nullopt, data.size());
    return;
  }
  std::string text(data.begin(), data.end());
  if (!SVGQuarvel::isValidUTF8(text)) {
    std::cout << "ERROR: could not load drop data string: " << data.size() << " bytes" << std::endl;
    const std::string detail = "Dropped data is not UTF-8 text; the document is unchanged.";
    console::defaultConsole()->error(detail, std::to_string(data.size()) + " bytes");
    dropRefused_.send(DropError{dropRefusedHeading, detail});
    return;
  }
  document_->svgString = std::move(text);
}

void DocumentWindowModel::applyChanges() {
  std::string old = document_->swift.get();
  document_->swift = document_->generatedSwift.get();
  std::weak_ptr<SVGQuarvelDocument> weakDocument = document_;
  // The undo registers nothing in turn: there is no redo of it.
  undoManager_.registerUndo([weakDocument, old = std::move(old)] {
    if (auto document = weakDocument.lock()) document->swift = old;
  });
}

}  // namespace SVGQuarvelViews
