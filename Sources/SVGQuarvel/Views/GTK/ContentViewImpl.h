// The widgets of a document window and how they follow the document: the sidebar (preview and
// settings form), the split of the SVG editor and the Swift side (banner, Swift editor, status
// texts), the drop target and border, the toolbar buttons and the window's actions.
#pragma once

#include <giomm/simpleactiongroup.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/headerbar.h>
#include <gtkmm/label.h>
#include <gtkmm/messagedialog.h>
#include <gtkmm/overlay.h>
#include <gtkmm/paned.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/separator.h>
#include <gtkmm/shortcutcontroller.h>
#include <gtkmm/window.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "QuarvelUtilities/GTK/FileDropTarget.h"
#include "QuarvelUtilities/GTK/ShellUtilities.h"
#include "QuarvelUtilities/GTK/WebView.h"
#include "SVGQuarvel/Views/DocumentWindowModel.h"
#include "SVGQuarvel/Views/GTK/AspectFitFrame.h"
#include "SVGQuarvel/Views/GTK/ExportSettingsView.h"
#include "SVGQuarvel/Views/GTK/SymbolIcon.h"
#include "SyntaxEditor/GTK/SyntaxEditorView.h"

namespace SVGQuarvelViews {

class ContentViewImpl {
 public:
  /// A text of the document longer than this many bytes as the window opens goes into its editor
  /// in a main-loop step of its own, once the window is up: the toolkit lays out a long line of it
  /// for seconds, once to place the cursor and again to draw it. The drawing goes in first, behind
  /// the blocks already posted to the main queue; the Swift after the next frame, so that each
  /// long line is laid out in a frame of its own. Until then that editor is empty and takes no
  /// key; the document, which the commands read, is whole from the start.
  static constexpr std::size_t textInAStepOfItsOwn = std::size_t{2} << 20;

  ContentViewImpl(Gtk::Box& root, std::shared_ptr<SVGQuarvelDocument> document,
                  std::shared_ptr<NSUserDefaults> layoutDefaults, double fontSize);
  ~ContentViewImpl();

  void attachToWindow(Gtk::Window& window, Gtk::HeaderBar& headerBar);

  DocumentWindowModel& model() { return model_; }
  Glib::RefPtr<Gio::SimpleActionGroup> actions() { return actions_; }
  /// Runs a "doc." action by its name without the prefix; false when it is disabled or unknown.
  bool activate(const std::string& action);

  // ---- Parts ----
  Gtk::Paned& sidebarSplit() { return sidebarSplit_; }
  Gtk::ScrolledWindow& sidebar() { return sidebar_; }
  QuarvelUtilities::SVGWebView& preview() { return *preview_; }
  AspectFitFrame& previewFrame() { return *previewFrame_; }
  ExportSettingsView& settings() { return *settings_; }
  Gtk::Paned& editorSplit() { return editorSplit_; }
  SyntaxEditorView& svgEditor() { return *svgEditor_; }
  SyntaxEditorView& swiftEditor() { return *swiftEditor_; }
  Gtk::Box& banner() { return banner_; }
  Gtk::Button& bannerButton() { return bannerButton_; }
  Gtk::Label& statusLabel() { return statusLabel_; }
  Gtk::Label& loadingLabel() { return loadingLabel_; }
  Gtk::Widget& dropBorder() { return dropBorder_; }
  QuarvelUtilities::FileDropTarget& dropTarget() { return *dropTarget_; }
  Gtk::Button& sidebarButton() { return sidebarButton_; }
  Gtk::Button& layoutButton() { return layoutButton_; }
  Gtk::Button& dropChangesButton() { return dropChangesButton_; }
  Gtk::Button& copyButton() { return copyButton_; }
  SymbolIcon& layoutIcon() { return layoutIcon_; }

  /// Whether an editor still waits for its step to take the document's text (see
  /// `textInAStepOfItsOwn`).
  bool svgWaits() const { return svgWaits_; }
  bool swiftWaits() const { return swiftWaits_; }

  /// The widget the Edit menu's commands work on: the window's focus, or while a menu holds it
  /// (a menu of the menu bar takes the focus until its command has run), the widget that had it
  /// before. None when nothing in the window has the focus.
  Gtk::Widget* editingFocus() const;

  /// The text the Copy command of the Edit menu copies: the focused editor's selection, else
  /// the whole Swift text.
  void copy();
  /// Puts the whole Swift text on the clipboard.
  void copySwift();

 private:
  void buildSidebar();
  void buildMainContent();
  void buildActions();
  void observeDocument();
  void applyLayout();
  void refreshSwiftSide();
  void refreshEditorsFromDocument(bool svg, bool swift);
  void refreshIndentStyle();
  void refreshFontSize();
  void showFontChooser();
  void showError(const std::string& heading, const std::string& detail);
  static constexpr const char* pasteFailedHeading = "The text could not be pasted.";
  /// Schedules the steps of the texts that wait for one.
  void scheduleWaitingTexts();
  void takeWaitingSVG();
  /// Puts the Swift in after the next frame the window draws.
  void takeWaitingSwiftAfterNextFrame();
  void takeWaitingSwift();
  void recordEdits(SyntaxEditorView& editor);
  void registerEdit(SyntaxEditorView& editor, const UXCodeTextEdit& edit);
  Gtk::Window* window() const;
  void noteFocus();

  /// A widget held without a reference: null once the widget has gone.
  class WeakWidget {
   public:
    WeakWidget() = default;
    WeakWidget(const WeakWidget&) = delete;
    WeakWidget& operator=(const WeakWidget&) = delete;
    ~WeakWidget() { set(nullptr); }
    void set(GtkWidget* widget);
    GtkWidget* get() const { return widget_; }

   private:
    GtkWidget* widget_ = nullptr;
  };

  Gtk::Box& root_;
  DocumentWindowModel model_;
  std::shared_ptr<SVGQuarvelDocument> document_;

  Gtk::Overlay overlay_;
  Gtk::Paned sidebarSplit_{Gtk::Orientation::HORIZONTAL};
  Gtk::ScrolledWindow sidebar_;
  Gtk::Box sidebarColumn_{Gtk::Orientation::VERTICAL, 0};
  std::unique_ptr<QuarvelUtilities::SVGWebView> preview_;
  std::unique_ptr<AspectFitFrame> previewFrame_;  // after the preview: it lets go of it first
  Gtk::Separator sidebarDivider_;
  std::unique_ptr<ExportSettingsView> settings_;
  std::unique_ptr<QuarvelUtilities::FixedNavLink> mainContentLink_;  // puts the main content beside the sidebar

  Gtk::Paned editorSplit_{Gtk::Orientation::VERTICAL};
  std::unique_ptr<SyntaxEditorView> svgEditor_;
  Gtk::Box level2_{Gtk::Orientation::VERTICAL, 0};
  Gtk::Box banner_{Gtk::Orientation::HORIZONTAL, 6};
  Gtk::Label bannerLabel_;
  Gtk::Box bannerSpacer_;
  Gtk::Button bannerButton_;
  SymbolIcon bannerIcon_{"arrow.down.doc"};
  Gtk::Separator bannerDivider_;
  Gtk::Overlay swiftOverlay_;
  std::unique_ptr<SyntaxEditorView> swiftEditor_;
  Gtk::Box statusBox_{Gtk::Orientation::VERTICAL, 4};
  Gtk::Label statusLabel_;
  Gtk::Label loadingLabel_;

  Gtk::Box dropBorder_;
  std::unique_ptr<QuarvelUtilities::FileDropTarget> dropTarget_;
  std::unique_ptr<Gtk::MessageDialog> errorDialog_;
  std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);  // gone with the content: later drops go nowhere

  Gtk::Button sidebarButton_;
  SymbolIcon sidebarIcon_{"sidebar.left"};
  Gtk::Button layoutButton_;
  SymbolIcon layoutIcon_{"rectangle.split.2x1"};
  Gtk::Button dropChangesButton_;
  Gtk::Button copyButton_;
  Gtk::Window* window_ = nullptr;
  sigc::connection windowDestroyed_;
  sigc::connection focusChanged_;
  sigc::connection editorRooted_;  // until the SVG editor has come into the window
  std::vector<sigc::connection> bufferActions_;  // the editors' user actions group their edits
  WeakWidget lastFocus_;   // the window's focus as last seen
  WeakWidget beforeMenu_;  // what had the focus when a menu took it

  Glib::RefPtr<Gio::SimpleActionGroup> actions_;
  Glib::RefPtr<Gtk::ShortcutController> shortcuts_;
  std::vector<AnyCancellable> subscriptions_;
  bool writingSVG_ = false;    // the SVG editor is writing the document
  bool writingSwift_ = false;  // the Swift editor is writing the document
  bool svgWaits_ = false;      // the SVG editor is empty until its step (a large drawing)
  bool swiftWaits_ = false;    // the Swift editor is empty until its step (a large Swift)
  guint nextFrame_ = 0;        // the tick callback that waits for the frame before the Swift's step
};

}  // namespace SVGQuarvelViews
