#include "SVGQuarvel/Views/GTK/ContentView.h"

#include <glibmm/main.h>
#include <gtkmm/fontchooserdialog.h>

#include "Fennix/Foundation/UserDefaults.h"
#include "Fennix/Foundation/Text/Font.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"
#include "Highlight/HighlightJSTheme.h"
#include "Platform/Dispatch.h"
#include "QuarvelUtilities/SVGWebViewContent.h"
#include "SVGQuarvel/Views/EditorPanes.h"
#include "SVGQuarvel/Views/GTK/ContentViewImpl.h"

namespace {

// The border shown inside the window's edges while a drag it accepts hovers over it.
const char* const windowCSS =
    ".quarvel-drop-border { border: 1px solid @theme_selected_bg_color; }\n"
    ".quarvel-preview { border: 1px solid gray; }\n"
    ".quarvel-banner { background-color: @theme_bg_color; }\n";

void installCSS() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  auto provider = Gtk::CssProvider::create();
  provider->load_from_data(windowCSS);
  Gtk::StyleContext::add_provider_for_display(Gdk::Display::get_default(), provider,
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

}  // namespace

// ---- ContentView ----------------------------------------------------------------------------

ContentView::ContentView(std::shared_ptr<SVGQuarvelDocument> document)
    : ContentView(std::move(document), NSUserDefaults::standard(), NSFont::systemFontSize()) {}

ContentView::ContentView(std::shared_ptr<SVGQuarvelDocument> document, std::shared_ptr<NSUserDefaults> layoutDefaults,
                         double fontSize)
    : Gtk::Box(Gtk::Orientation::VERTICAL) {
  impl_ = std::make_unique<SVGQuarvelViews::ContentViewImpl>(*this, std::move(document), std::move(layoutDefaults),
                                                              fontSize);
}

ContentView::~ContentView() = default;

void ContentView::attachToWindow(Gtk::Window& window, Gtk::HeaderBar& headerBar) {
  impl_->attachToWindow(window, headerBar);
}

Gtk::Widget* ContentView::editingFocus() const { return impl_->editingFocus(); }

const std::shared_ptr<SVGQuarvelDocument>& ContentView::document() const { return impl_->model().document(); }

namespace SVGQuarvelViews {

// ---- Building ---------------------------------------------------------------------------------

ContentViewImpl::ContentViewImpl(Gtk::Box& root, std::shared_ptr<SVGQuarvelDocument> document,
                                 std::shared_ptr<NSUserDefaults> layoutDefaults, double fontSize)
    : root_(root), model_(document, std::move(layoutDefaults), fontSize), document_(std::move(document)) {
  installCSS();
  svgWaits_ = document_->svgString.get().size() > textInAStepOfItsOwn;
  swiftWaits_ = document_->swift.get().size() > textInAStepOfItsOwn;
  buildSidebar();
  buildMainContent();

  // The main content comes into the detail column through the link in the sidebar's background.
  sidebarSplit_.set_start_child(sidebar_);
  sidebarSplit_.set_resize_start_child(false);
  sidebarSplit_.set_shrink_start_child(false);
  sidebarSplit_.set_shrink_end_child(false);
  sidebarSplit_.set_hexpand(true);
  sidebarSplit_.set_vexpand(true);
  overlay_.set_child(sidebarSplit_);

  dropBorder_.add_css_class("quarvel-drop-border");
  dropBorder_.set_can_target(false);
  dropBorder_.set_visible(false);
  overlay_.add_overlay(dropBorder_);
  root_.append(overlay_);

  // SVG data and SVG files dropped anywhere on the window replace the document's SVG; files are
  // read as Open reads them. What was dropped arrives later on the main queue: once the window's
  // content has gone, it is let go.
  std::weak_ptr<int> alive = lifetime_;
  auto delegate = std::make_shared<QuarvelUtilities::TypedDropDelegate>(
      std::vector<std::string>{"image/svg+xml"}, [this](bool on) { model_.setTargeted(on); },
      [this, alive](QuarvelUtilities::DropData data) {
        if (!alive.expired()) model_.receiveDrop(data);
      },
      [this, alive](const QuarvelUtilities::DropTooLarge& refused) {
        if (!alive.expired()) model_.refuseTooLargeDrop(refused.file, refused.bytes);
      },
      [this, alive](const std::filesystem::path& file, const std::string& reason) {
        if (!alive.expired()) model_.refuseUnreadableDrop(file, reason);
      },
      &DocumentWindowModel::readDroppedFile);
  dropTarget_ = std::make_unique<QuarvelUtilities::FileDropTarget>(root_, delegate);

  buildActions();
  observeDocument();
  applyLayout();
  refreshSwiftSide();
  scheduleWaitingTexts();
}

ContentViewImpl::~ContentViewImpl() {
  lifetime_.reset();
  if (nextFrame_ != 0 && root_.gobj() != nullptr) gtk_widget_remove_tick_callback(GTK_WIDGET(root_.gobj()), nextFrame_);
  subscriptions_.clear();
  if (errorDialog_) errorDialog_->hide();
  windowDestroyed_.disconnect();
  focusChanged_.disconnect();
  editorRooted_.disconnect();
  for (auto& connection : bufferActions_) connection.disconnect();
  // A window that outlives its content keeps neither its actions nor its shortcuts.
  if (window_ != nullptr) {
    window_->insert_action_group(QuarvelUtilities::Selectors::group, nullptr);
    if (shortcuts_) window_->remove_controller(shortcuts_);
  }
}

void ContentViewImpl::buildSidebar() {
  // The preview takes the shape of the drawing at the sidebar's width.
  preview_ = std::make_unique<QuarvelUtilities::SVGWebView>(document_->svgString.get());
  previewFrame_ = std::make_unique<AspectFitFrame>(*preview_, QuarvelUtilities::SVGWebViewContent::pageMargin);
  previewFrame_->setRatio(QuarvelUtilities::SVGWebViewContent::aspectRatio(document_->svgString.get()));
  previewFrame_->add_css_class("quarvel-preview");
  previewFrame_->set_margin_start(12);
  previewFrame_->set_margin_end(12);
  previewFrame_->set_margin_bottom(12);
  settings_ = std::make_unique<ExportSettingsView>(document_);
  sidebarColumn_.append(*previewFrame_);
  sidebarColumn_.append(sidebarDivider_);
  sidebarColumn_.append(*settings_);
  mainContentLink_ = std::make_unique<QuarvelUtilities::FixedNavLink>(editorSplit_);
  sidebarColumn_.append(*mainContentLink_);
  sidebar_.set_child(sidebarColumn_);
  sidebar_.set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
  sidebar_.set_size_request(290, -1);
}

namespace {

/// An editor waiting for its text shows it can be selected in, but takes no key.
SyntaxEditor::Flags editorFlags(bool waits) {
  return waits ? SyntaxEditor::Flags::selectable : SyntaxEditor::Flags::defaultEditorFlags;
}

}  // namespace

void ContentViewImpl::buildMainContent() {
  const auto theme = HighlightJSTheme::default_();
  auto fontSize = SyntaxEditor::Binding<double>([this] { return model_.fontSize(); },
                                                [this](double size) { model_.setFontSize(size); });
  const auto indent = codeIndentStyle(document_->config.get());

  SyntaxEditor svg(SyntaxEditor::Binding<std::string>(
                       [this] { return svgWaits_ ? std::string() : document_->svgString.get(); },
                       [this](std::string text) {
                         writingSVG_ = true;
                         document_->svgString = std::move(text);
                         writingSVG_ = false;
                       }),
                   SyntaxEditor::Language::xml, theme, fontSize, editorFlags(svgWaits_), indent);
  svgEditor_ = std::make_unique<SyntaxEditorView>(svg);
  svgEditor_->set_size_request(320, 200);
  svgEditor_->set_hexpand(true);
  svgEditor_->set_vexpand(true);

  SyntaxEditor swift(SyntaxEditor::Binding<std::string>(
                         [this] { return swiftWaits_ ? std::string() : document_->swift.get(); },
                         [this](std::string text) {
                           writingSwift_ = true;
                           document_->swift = std::move(text);
                           writingSwift_ = false;
                         }),
                     SyntaxEditor::Language::swift, theme, fontSize, editorFlags(swiftWaits_), indent);
  swiftEditor_ = std::make_unique<SyntaxEditorView>(swift);
  swiftEditor_->set_hexpand(true);
  swiftEditor_->set_vexpand(true);
  recordEdits(*svgEditor_);
  recordEdits(*swiftEditor_);

  // The banner while the Swift was edited by hand.
  bannerLabel_.set_text(bannerText);
  bannerLabel_.set_margin(8);
  bannerLabel_.set_wrap(true);
  bannerLabel_.set_xalign(0);
  bannerLabel_.set_hexpand(true);  // the label takes the room; it wraps only when the pane is narrow
  bannerLabel_.set_natural_wrap_mode(Gtk::NaturalWrapMode::NONE);
  bannerButton_.set_child(bannerIcon_);
  bannerButton_.set_tooltip_text(bannerButtonTitle);
  Glib::Value<Glib::ustring> accessibleLabel;
  accessibleLabel.init(Glib::Value<Glib::ustring>::value_type());
  accessibleLabel.set(bannerButtonTitle);
  bannerButton_.update_property(Gtk::Accessible::Property::LABEL, accessibleLabel);
  bannerButton_.set_margin(8);
  bannerButton_.signal_clicked().connect([this] { model_.applyChanges(); });
  banner_.add_css_class("quarvel-banner");
  banner_.append(bannerLabel_);
  banner_.append(bannerSpacer_);
  banner_.append(bannerButton_);

  // Status texts over the Swift editor.
  statusBox_.set_halign(Gtk::Align::CENTER);
  statusBox_.set_valign(Gtk::Align::CENTER);
  statusBox_.set_can_target(false);
  statusBox_.append(statusLabel_);
  statusBox_.append(loadingLabel_);
  swiftOverlay_.set_child(*swiftEditor_);
  swiftOverlay_.add_overlay(statusBox_);
  swiftOverlay_.set_vexpand(true);

  level2_.append(banner_);
  level2_.append(bannerDivider_);
  level2_.append(swiftOverlay_);
  level2_.set_hexpand(true);
  level2_.set_vexpand(true);

  editorSplit_.set_start_child(*svgEditor_);
  editorSplit_.set_end_child(level2_);
  editorSplit_.set_shrink_start_child(false);
  editorSplit_.set_resize_start_child(false);
  editorSplit_.set_shrink_end_child(false);
}

// ---- Actions ----------------------------------------------------------------------------------

void ContentViewImpl::buildActions() {
  actions_ = Gio::SimpleActionGroup::create();
  using QuarvelUtilities::Selectors;
  actions_->add_action(QuarvelUtilities::toggleSidebarAction, [this] { sidebar_.set_visible(!sidebar_.get_visible()); });
  actions_->add_action("toggle-layout", [this] { model_.toggleLayout(); });
  actions_->add_action("drop-changes", [this] { model_.applyChanges(); });
  actions_->add_action("copy-swift", [this] { copySwift(); });
  actions_->add_action(Selectors::copy, [this] { copy(); });
  actions_->add_action("undo", [this] { model_.undoManager().undo(); });
  actions_->add_action("redo", [this] { model_.undoManager().redo(); });
  actions_->add_action(Selectors::increaseFontSize, [this] { model_.increaseFontSize(); });
  actions_->add_action(Selectors::decreaseFontSize, [this] { model_.decreaseFontSize(); });
  actions_->add_action("show-fonts", [this] { showFontChooser(); });
  root_.insert_action_group(Selectors::group, actions_);
  subscriptions_.push_back(model_.undoManager().didChange().sink([this] { refreshSwiftSide(); }));
}

bool ContentViewImpl::activate(const std::string& action) {
  auto found = std::dynamic_pointer_cast<Gio::SimpleAction>(actions_->lookup_action(action));
  if (!found || !found->get_enabled()) return false;
  found->activate();
  return true;
}

void ContentViewImpl::attachToWindow(Gtk::Window& window, Gtk::HeaderBar& headerBar) {
  window_ = &window;
  windowDestroyed_ = window.signal_destroy().connect([this] {
    focusChanged_.disconnect();
    window_ = nullptr;
  });
  // A new window starts with the keyboard in its SVG editor, the document's text, as soon as the
  // editor comes into it (the toolkit gives the keyboard of a window shown before that to the first
  // widget that takes it: the preview, where typing does nothing). A field that takes text and was
  // given the keyboard meanwhile keeps it.
  const auto focusEditor = [this] {
    auto& editor = svgEditor_->textView();
    if (window_ == nullptr || editor.get_root() != window_) return;
    editorRooted_.disconnect();
    Gtk::Widget* focused = window_->get_focus();
    if (focused != nullptr && (GTK_IS_EDITABLE(focused->gobj()) || GTK_IS_TEXT_VIEW(focused->gobj()))) return;
    window_->set_focus(editor);
  };
  editorRooted_ = svgEditor_->textView().property_root().signal_changed().connect(focusEditor);
  focusEditor();
  focusChanged_ = window.property_focus_widget().signal_changed().connect([this] { noteFocus(); });
  noteFocus();
  window.insert_action_group(QuarvelUtilities::Selectors::group, actions_);

  shortcuts_ = Gtk::ShortcutController::create();
  shortcuts_->set_scope(Gtk::ShortcutScope::LOCAL);
  auto bind = [this](const char* accelerator, const char* action) {
    shortcuts_->add_shortcut(Gtk::Shortcut::create(Gtk::ShortcutTrigger::parse_string(accelerator),
                                                   Gtk::NamedAction::create(action)));
  };
  bind("<Control>k", "doc.drop-changes");
  bind("<Shift><Control>c", "doc.copy-swift");
  using QuarvelUtilities::Selectors;
  const auto bigger = Selectors::detailed(Selectors::increaseFontSize);
  bind("<Control>plus", bigger.c_str());
  bind("<Control>equal", bigger.c_str());
  bind("<Control>minus", Selectors::detailed(Selectors::decreaseFontSize).c_str());
  // The editors keep no undo of their own: their edits are in the window's undo manager.
  bind("<Control>z", "doc.undo");
  bind("<Shift><Control>z", "doc.redo");
  window.add_controller(shortcuts_);

  sidebarButton_.set_child(sidebarIcon_);
  sidebarButton_.set_tooltip_text("Toggle Sidebar");
  sidebarButton_.signal_clicked().connect([] { QuarvelUtilities::toggleSidebar(); });
  headerBar.pack_start(sidebarButton_);

  layoutButton_.set_child(layoutIcon_);
  layoutButton_.set_tooltip_text("Switch Editor Layout");
  layoutButton_.set_action_name("doc.toggle-layout");
  dropChangesButton_.set_tooltip_text("Drop changes");
  dropChangesButton_.set_child(*Gtk::make_managed<SymbolIcon>("arrow.down.doc"));
  dropChangesButton_.set_action_name("doc.drop-changes");
  copyButton_.set_tooltip_text("Copy");
  copyButton_.set_child(*Gtk::make_managed<SymbolIcon>("doc.on.doc"));
  copyButton_.set_action_name("doc.copy-swift");
  // Packed at the end from the outside in: Copy is the primary action.
  headerBar.pack_end(copyButton_);
  headerBar.pack_end(dropChangesButton_);
  headerBar.pack_end(layoutButton_);
  refreshSwiftSide();
}

Gtk::Window* ContentViewImpl::window() const {
  if (window_ != nullptr) return window_;
  return dynamic_cast<Gtk::Window*>(root_.get_root());
}

namespace {

/// Whether `widget` is part of a menu: the menu bar (whose titles take the focus when clicked) or
/// a menu it opened.
bool inMenu(GtkWidget* widget) {
  return widget != nullptr && (gtk_widget_get_ancestor(widget, GTK_TYPE_POPOVER) != nullptr ||
                               gtk_widget_get_ancestor(widget, GTK_TYPE_POPOVER_MENU_BAR) != nullptr);
}

/// Whether `widget` is the menu bar or one of its titles, not in a menu it opened.
bool inMenuBar(GtkWidget* widget) {
  return widget != nullptr && gtk_widget_get_ancestor(widget, GTK_TYPE_POPOVER) == nullptr &&
         gtk_widget_get_ancestor(widget, GTK_TYPE_POPOVER_MENU_BAR) != nullptr;
}

/// Whether a menu below `widget` shows (is on the screen: a submenu whose menu closed under it
/// still counts itself visible).
bool showsMenu(GtkWidget* widget) {
  for (GtkWidget* child = gtk_widget_get_first_child(widget); child != nullptr; child = gtk_widget_get_next_sibling(child)) {
    if ((GTK_IS_POPOVER(child) && gtk_widget_get_mapped(child)) || showsMenu(child)) return true;
  }
  return false;
}

}  // namespace

void ContentViewImpl::WeakWidget::set(GtkWidget* widget) {
  if (widget == widget_) return;
  if (widget_ != nullptr) g_object_remove_weak_pointer(G_OBJECT(widget_), reinterpret_cast<gpointer*>(&widget_));
  widget_ = widget;
  if (widget_ != nullptr) g_object_add_weak_pointer(G_OBJECT(widget_), reinterpret_cast<gpointer*>(&widget_));
}

void ContentViewImpl::noteFocus() {
  Gtk::Widget* focused = window_ != nullptr ? window_->get_focus() : nullptr;
  GtkWidget* focus = focused != nullptr ? focused->gobj() : nullptr;
  if (inMenu(focus)) {
    // A menu took the focus: its commands are meant for the widget that had it.
    if (lastFocus_.get() != nullptr && !inMenu(lastFocus_.get())) beforeMenu_.set(lastFocus_.get());
    // A menu that closed (its command chosen, or put away) leaves the focus on its title in the
    // menu bar, and the bar gives it to a title the pointer comes onto (or that the toolkit,
    // looking again for the widget under the pointer, takes it to be on): it goes back where it
    // was, so that typing goes on there. While no menu of the bar shows, at once, before any key
    // reaches the title (Return there would open its menu); else once the closing is over, when
    // another menu of the bar may have opened instead.
    if (inMenuBar(focus) && beforeMenu_.get() != nullptr &&
        !showsMenu(gtk_widget_get_ancestor(focus, GTK_TYPE_POPOVER_MENU_BAR))) {
      lastFocus_.set(focus);
      gtk_widget_grab_focus(beforeMenu_.get());
      return;
    }
    if (inMenuBar(focus)) {
      std::weak_ptr<int> alive = lifetime_;
      Glib::signal_idle().connect_once([this, alive] {
        if (alive.expired() || window_ == nullptr || beforeMenu_.get() == nullptr) return;
        Gtk::Widget* now = window_->get_focus();
        GtkWidget* bar = now != nullptr ? gtk_widget_get_ancestor(now->gobj(), GTK_TYPE_POPOVER_MENU_BAR) : nullptr;
        if (!inMenuBar(now != nullptr ? now->gobj() : nullptr) || showsMenu(bar)) return;
        gtk_widget_grab_focus(beforeMenu_.get());
      });
    }
  } else if (focus != nullptr) {
    beforeMenu_.set(nullptr);
  }
  // No focus at all keeps what a menu took it from: a closing menu lets go of the focus before
  // its command runs and before the focus comes back.
  lastFocus_.set(focus);
}

Gtk::Widget* ContentViewImpl::editingFocus() const {
  Gtk::Widget* focus = window_ != nullptr ? window_->get_focus() : nullptr;
  if (focus != nullptr && !inMenu(focus->gobj())) return focus;
  // In a menu, or nowhere while a menu closes: the widget the menu took the focus from, if any.
  return beforeMenu_.get() != nullptr ? Glib::wrap(beforeMenu_.get()) : nullptr;
}

void ContentViewImpl::copySwift() {
  if (document_->swift.get().empty()) return;
  Fennix::writeText(root_.get_clipboard(), document_->swift.get());
}

void ContentViewImpl::copy() {
  Gtk::Widget* focus = editingFocus();
  for (auto* editor : {svgEditor_.get(), swiftEditor_.get()}) {
    if (focus != nullptr && (focus == &editor->textView() || focus->is_ancestor(*editor))) {
      editor->textView().codeView().copy();
      return;
    }
  }
  copySwift();
}

void ContentViewImpl::showFontChooser() {
  auto* dialog = new Gtk::FontChooserDialog("Fonts");
  if (auto* window = this->window()) dialog->set_transient_for(*window);
  dialog->set_modal(true);
  dialog->set_level(Gtk::FontChooser::Level::SIZE | Gtk::FontChooser::Level::FAMILY);
  Pango::FontDescription current("Monospace");
  current.set_size(int(model_.fontSize() * PANGO_SCALE));
  dialog->set_font_desc(current);
  dialog->signal_response().connect([this, dialog](int response) {
    if (response == Gtk::ResponseType::OK) {
      const int size = dialog->get_font_size();
      model_.handleFontChange(int(NSFontAction::viaPanelFontAction),
                              size > 0 ? std::optional<double>(double(size) / PANGO_SCALE) : std::nullopt);
    }
    dialog->hide();
    delete dialog;
  });
  dialog->show();
}

// ---- Following the document ---------------------------------------------------------------

void ContentViewImpl::observeDocument() {
  subscriptions_.push_back(document_->svgString.didSet().sink([this](const std::string& svg) {
    preview_->setSVG(svg);  // every change reloads the page; loading runs in the web process
    previewFrame_->setRatio(QuarvelUtilities::SVGWebViewContent::aspectRatio(svg));
    if (!writingSVG_) refreshEditorsFromDocument(true, false);
    refreshSwiftSide();
  }));
  subscriptions_.push_back(document_->swift.didSet().sink([this](const std::string&) {
    if (!writingSwift_) refreshEditorsFromDocument(false, true);
    refreshSwiftSide();
  }));
  subscriptions_.push_back(document_->generatedSwift.didSet().sink([this](const std::string&) { refreshSwiftSide(); }));
  subscriptions_.push_back(document_->rebuildFailed.didSet().sink([this](const bool&) { refreshSwiftSide(); }));
  subscriptions_.push_back(document_->isRebuilding.didSet().sink([this](const bool&) { refreshSwiftSide(); }));
  subscriptions_.push_back(document_->config.didSet().sink([this](const SVGQuarvelConfiguration&) { refreshIndentStyle(); }));
  subscriptions_.push_back(model_.fontSizeDidChange().sink([this](const double&) { refreshFontSize(); }));
  subscriptions_.push_back(model_.layoutDidChange().sink([this](const bool&) { applyLayout(); }));
  subscriptions_.push_back(model_.targetedDidChange().sink([this](const bool& on) { dropBorder_.set_visible(on); }));
  subscriptions_.push_back(model_.dropRefused().sink([this](const DocumentWindowModel::DropError& error) {
    showError(error.heading, error.detail);
  }));
  // A paste of another program's text that did not arrive says why, as a refused drop does.
  for (auto* editor : {svgEditor_.get(), swiftEditor_.get()}) {
    editor->textView().onPasteFailure = [this](const std::string& why) { showError(pasteFailedHeading, why); };
  }
}

void ContentViewImpl::showError(const std::string& heading, const std::string& detail) {
  // As the application shows a file that could not be opened: a message over the window, named
  // like its heading. A later message takes the place of one still shown.
  if (errorDialog_) errorDialog_->hide();
  auto* window = this->window();
  errorDialog_ = window != nullptr
                         ? std::make_unique<Gtk::MessageDialog>(*window, heading, false, Gtk::MessageType::ERROR,
                                                                Gtk::ButtonsType::OK, true)
                         : std::make_unique<Gtk::MessageDialog>(heading, false, Gtk::MessageType::ERROR,
                                                                Gtk::ButtonsType::OK, true);
  errorDialog_->set_title(heading);
  errorDialog_->set_secondary_text(detail);
  auto* dialog = errorDialog_.get();
  dialog->signal_response().connect([dialog](int) { dialog->hide(); });
  dialog->show();
}

void ContentViewImpl::refreshEditorsFromDocument(bool svg, bool swift) {
  // A whole-text replacement from the document is not an edit of the user's: not recorded.
  if (svg) svgEditor_->update(svgEditor_->editor());
  if (swift) swiftEditor_->update(swiftEditor_->editor());
}

void ContentViewImpl::refreshIndentStyle() {
  const auto style = codeIndentStyle(document_->config.get());
  if (!(svgEditor_->editor().indentStyle == style)) svgEditor_->setIndentStyle(style);
  if (!(swiftEditor_->editor().indentStyle == style)) swiftEditor_->setIndentStyle(style);
}

void ContentViewImpl::refreshFontSize() {
  svgEditor_->update(svgEditor_->editor());
  swiftEditor_->update(swiftEditor_->editor());
}

void ContentViewImpl::applyLayout() {
  const bool stacked = model_.stackVertically();
  editorSplit_.set_orientation(stacked ? Gtk::Orientation::VERTICAL : Gtk::Orientation::HORIZONTAL);
  layoutIcon_.setName(model_.toolbarState().layoutSymbol);
}

void ContentViewImpl::refreshSwiftSide() {
  const bool banner = model_.showsBanner();
  banner_.set_visible(banner);
  bannerDivider_.set_visible(banner);
  const auto status = swiftEditorStatus(*document_);
  swiftOverlay_.set_visible(status.showsContent);
  statusLabel_.set_visible(status.statusText.has_value());
  statusLabel_.set_text(status.statusText.value_or(""));
  loadingLabel_.set_visible(status.loadingText.has_value());
  loadingLabel_.set_text(status.loadingText.value_or(""));
  const auto toolbar = model_.toolbarState();
  layoutIcon_.setName(toolbar.layoutSymbol);
  if (auto action = std::dynamic_pointer_cast<Gio::SimpleAction>(actions_->lookup_action("drop-changes"))) {
    action->set_enabled(toolbar.dropChangesEnabled);
  }
  if (auto action = std::dynamic_pointer_cast<Gio::SimpleAction>(actions_->lookup_action("copy-swift"))) {
    action->set_enabled(toolbar.copyEnabled);
  }
  if (auto action = std::dynamic_pointer_cast<Gio::SimpleAction>(actions_->lookup_action("undo"))) {
    action->set_enabled(model_.undoManager().canUndo());
  }
  if (auto action = std::dynamic_pointer_cast<Gio::SimpleAction>(actions_->lookup_action("redo"))) {
    action->set_enabled(model_.undoManager().canRedo());
  }
}

// ---- Large texts, a step each ------------------------------------------------------------

void ContentViewImpl::scheduleWaitingTexts() {
  if (svgWaits_) {
    // Behind the blocks posted already (the rest of the window's opening among them).
    std::weak_ptr<int> alive = lifetime_;
    DispatchQueue::main().async([this, alive] {
      if (!alive.expired()) takeWaitingSVG();
    });
  } else if (swiftWaits_) {
    takeWaitingSwiftAfterNextFrame();
  }
}

void ContentViewImpl::takeWaitingSVG() {
  svgWaits_ = false;
  // The editor reads the document's text as it is now, and takes keys again.
  svgEditor_->setFlags(SyntaxEditor::Flags::defaultEditorFlags);
  if (swiftWaits_) takeWaitingSwiftAfterNextFrame();
}

void ContentViewImpl::takeWaitingSwiftAfterNextFrame() {
  // The next frame lays out and draws what went in before (the drawing's long line). A block
  // posted from its first phase runs once the frame is over: the frame clock does all its phases
  // in one turn of the main loop.
  struct Wait {
    ContentViewImpl* self;
    std::weak_ptr<int> alive;
  };
  nextFrame_ = gtk_widget_add_tick_callback(
      GTK_WIDGET(root_.gobj()),
      [](GtkWidget*, GdkFrameClock*, gpointer data) -> gboolean {
        auto* wait = static_cast<Wait*>(data);
        if (wait->alive.expired()) return G_SOURCE_REMOVE;
        wait->self->nextFrame_ = 0;
        DispatchQueue::main().async([self = wait->self, alive = wait->alive] {
          if (!alive.expired()) self->takeWaitingSwift();
        });
        return G_SOURCE_REMOVE;
      },
      new Wait{this, lifetime_}, [](gpointer data) { delete static_cast<Wait*>(data); });
}

void ContentViewImpl::takeWaitingSwift() {
  swiftWaits_ = false;
  swiftEditor_->setFlags(SyntaxEditor::Flags::defaultEditorFlags);
}

// ---- Undo of the editors' edits -----------------------------------------------------------

void ContentViewImpl::recordEdits(SyntaxEditorView& editor) {
  editor.setUndoSink([this, &editor](const UXCodeTextEdit& edit) { registerEdit(editor, edit); });
  // What one command of the user's changes is undone as one: a paste of coloured text arrives as
  // one insertion per run of colour.
  auto buffer = editor.textView().get_buffer();
  bufferActions_.push_back(
      buffer->signal_begin_user_action().connect([this] { model_.undoManager().beginUndoGrouping(); }));
  bufferActions_.push_back(
      buffer->signal_end_user_action().connect([this] { model_.undoManager().endUndoGrouping(); }));
}

void ContentViewImpl::registerEdit(SyntaxEditorView& editor, const UXCodeTextEdit& edit) {
  model_.undoManager().registerUndo([this, &editor, edit] {
    // The text may have been replaced as a whole since (new generated code): an edit that no
    // longer fits is dropped rather than applied to the wrong text.
    const std::u16string text = editor.textView().codeView().string();
    if (edit.range.location > text.size() || text.size() - edit.range.location < edit.newText.size() ||
        text.compare(edit.range.location, edit.newText.size(), edit.newText) != 0) {
      return;
    }
    editor.applyEdit(NSRange{edit.range.location, edit.newText.size()}, edit.oldText);
    // Undoing registers the edit back: that is what redo replays.
    registerEdit(editor, UXCodeTextEdit{NSRange{edit.range.location, edit.oldText.size()}, edit.newText, edit.oldText});
  });
}

}  // namespace SVGQuarvelViews
