// The state and actions of one document window, apart from its widgets: the editor font size,
// the split orientation shared by all windows, the drop highlight, dropping the hand edits of the
// Swift (undoably), the enabled states of the toolbar and what the Swift pane shows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/NotificationCenter.h"
#include "Platform/Observable.h"
#include "Fennix/Foundation/UserDefaults.h"
#include "QuarvelUtilities/UndoManager.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"

namespace SVGQuarvelViews {

/// The font manager's commands, with their raw values.
enum class NSFontAction : int {
  noFontChangeAction = 0,
  viaPanelFontAction = 1,
  addTraitFontAction = 2,
  sizeUpFontAction = 3,
  sizeDownFontAction = 4,
  heavierFontAction = 5,
  lighterFontAction = 6,
  removeTraitFontAction = 7,
};

/// What the Swift pane shows over its editor.
struct SwiftEditorStatus {
  /// False while the SVG text is empty: the pane is empty, status texts included.
  bool showsContent = true;
  /// "Could not parse SVG?" or "Could not generate Swift?", or none.
  std::optional<std::string> statusText;
  /// "Loading ..." while a generation runs.
  std::optional<std::string> loadingText;
};
SwiftEditorStatus swiftEditorStatus(const SVGQuarvelDocument& document);

/// The toolbar's items as the document's state makes them.
struct MainToolbarState {
  /// The arrangement a click switches to: "rectangle.split.2x1" (side by side) while stacked,
  /// "rectangle.split.1x2" (stacked) while side by side.
  std::string layoutSymbol;
  bool dropChangesEnabled = false;
  bool copyEnabled = false;
};
MainToolbarState mainToolbarState(bool stackVertically, const SVGQuarvelDocument& document);

/// The text of the edited-Swift banner and of its button.
inline constexpr const char* bannerText = "Swift code has been edited, SVG changes are not applied.";
inline constexpr const char* bannerButtonTitle = "Drop changes and apply generated Swift";

class DocumentWindowModel {
 public:
  /// The key of the split orientation in the standard defaults (absent: stacked).
  static constexpr const char* stackVerticallyKey = "UseVerticalUI";
  /// The font size never goes below this.
  static constexpr double minimumFontSize = 1;

  /// `layoutDefaults` keeps the split orientation (the standard defaults in the application).
  DocumentWindowModel(std::shared_ptr<SVGQuarvelDocument> document, std::shared_ptr<NSUserDefaults> layoutDefaults,
                      double initialFontSize);
  ~DocumentWindowModel();
  DocumentWindowModel(const DocumentWindowModel&) = delete;
  DocumentWindowModel& operator=(const DocumentWindowModel&) = delete;

  const std::shared_ptr<SVGQuarvelDocument>& document() const { return document_; }
  QuarvelUtilities::UndoManager& undoManager() { return undoManager_; }

  // ---- Split orientation (shared by every window through the defaults) ----
  bool stackVertically() const { return stackVertically_; }
  void setStackVertically(bool stacked);
  void toggleLayout() { setStackVertically(!stackVertically_); }
  /// Fires after the orientation changed, here or in another window.
  Subject<bool>& layoutDidChange() { return layoutDidChange_; }

  // ---- Editor font size of this window ----
  double fontSize() const { return fontSize_; }
  /// Sets the size, never below `minimumFontSize`.
  void setFontSize(double size);
  void increaseFontSize() { setFontSize(fontSize_ + 1); }
  void decreaseFontSize() { setFontSize(fontSize_ - 1); }
  /// A font command: panel sizes are cut to whole points, traits are refused ("ADD traits"),
  /// size steps are one point, anything else is printed ("CHANGE FONT: " and the raw value).
  void handleFontChange(int action, std::optional<double> selectedFontSize);
  Subject<double>& fontSizeDidChange() { return fontSizeDidChange_; }

  // ---- Drops ----
  bool isTargeted() const { return isTargeted_; }
  void setTargeted(bool targeted);
  Subject<bool>& targetedDidChange() { return targetedDidChange_; }
  /// Dropped bytes: UTF-8 text becomes the document's SVG; anything else changes nothing and is
  /// refused through `dropRefused`. Text past `SVGQuarvelDocument::maximumOpenedSVGBytes` is
  /// refused as `refuseTooLargeDrop` refuses it.
  void receiveDrop(const std::vector<std::uint8_t>& data);
  /// Reads a dropped file as a drawing opened from a file is read (a regular file only, its
  /// encoding detected): its text as UTF-8, or none and the reason Opening would give.
  /// `tooLarge` is set for a drawing of more SVG text than a document takes.
  static std::optional<std::vector<std::uint8_t>> readDroppedFile(const std::filesystem::path& url,
                                                                  std::string& error, bool* tooLarge);
  /// A dropped file that could not be read: nothing changes, and `dropRefused` tells why.
  void refuseUnreadableDrop(const std::filesystem::path& file, const std::string& reason);
  /// A drop the window shows the user it could not take: a heading and the reason.
  struct DropError {
    std::string heading;
    std::string detail;
  };
  /// A dropped drawing of `bytes` bytes, the file `file` or data when none, too large for a
  /// document: nothing changes, and `dropRefused` tells why with the message a file of that size
  /// gets when opened.
  void refuseTooLargeDrop(const std::optional<std::filesystem::path>& file, std::uint64_t bytes);
  Subject<DropError>& dropRefused() { return dropRefused_; }
  /// The heading of a refused drop.
  static constexpr const char* dropRefusedHeading = "The drawing could not be dropped.";

  // ---- Swift ----
  /// Drops the hand edits of the Swift and takes the generated code; undo brings the edits back
  /// (and offers no redo).
  void applyChanges();
  bool showsBanner() const { return document_->isSwiftModified(); }
  MainToolbarState toolbarState() const { return mainToolbarState(stackVertically_, *document_); }

 private:
  void reloadLayout();

  std::shared_ptr<SVGQuarvelDocument> document_;
  std::shared_ptr<NSUserDefaults> layoutDefaults_;
  QuarvelUtilities::UndoManager undoManager_;
  bool stackVertically_ = true;
  double fontSize_;
  bool isTargeted_ = false;
  NotificationObserverToken defaultsObserver_;
  Subject<bool> layoutDidChange_;
  Subject<double> fontSizeDidChange_;
  Subject<bool> targetedDidChange_;
  Subject<DropError> dropRefused_;
};

}  // namespace SVGQuarvelViews
