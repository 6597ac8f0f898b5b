#include "SVGQuarvel/App/GTK/SVGQuarvelApp.h"

#include <sys/stat.h>

#include <giomm/menu.h>
#include <giomm/simpleaction.h>
#include <giomm/simpleactiongroup.h>
#include <glibmm/main.h>
#include <gtkmm/filefilter.h>
#include <gtkmm/icontheme.h>
#include <gtkmm/shortcut.h>
#include <gtkmm/shortcutaction.h>
#include <gtkmm/shortcutcontroller.h>
#include <gtkmm/shortcuttrigger.h>
#include <sigc++/adaptors/track_obj.h>

#include <algorithm>
#include <csignal>
#include <optional>
#include <string_view>

#include "Fennix/console/Console.h"
#include "Highlight/HighlightJS.h"
#include "Highlight/Resources.h"
#include "QuarvelUtilities/GTK/ShellUtilities.h"
#include "QuarvelUtilities/GTK/WebView.h"
#include "SVGQuarvel/App/About.h"
#include "SVGQuarvel/App/ExampleSVGs.h"
#include "SVGQuarvel/App/GTK/AboutWindow.h"
#include "SVGQuarvel/App/RecentDocuments.h"
#include "SVGQuarvel/App/SVGConverterService.h"
#include "SVGQuarvel/Views/GTK/ContentView.h"

using SVGQuarvel::DocumentController;
using SVGQuarvel::DocumentWindow;

namespace SVGQuarvel {

void installDocumentContent(const std::shared_ptr<SVGQuarvelDocument>& document, Gtk::Window& window,
                            Gtk::HeaderBar& headerBar) {
  auto* content = Gtk::make_managed<ContentView>(document);
  window.set_child(*content);
  content->attachToWindow(window, headerBar);
}

// ---- DocumentWindow ------------------------------------------------------------------------

DocumentWindow::DocumentWindow(SVGQuarvelApp& app, DocumentRecordPtr record)
    : app_(app), record_(std::move(record)) {
  set_default_size(1100, 700);
  // Closing only hides the window: the application owns it and lets it go once it is hidden (the
  // toolkit would otherwise destroy it under its owner, which then presents a dead window when
  // the document is opened again).
  set_hide_on_close(true);
  set_show_menubar(true);
  set_titlebar(headerBar_);
  installDocumentContent(record_->document(), *this, headerBar_);

  add_action("save", [this] { app_.saveDocument(*this, false, nullptr); });
  add_action("save-as", [this] { app_.saveDocument(*this, true, nullptr); });
  add_action("close", [this] { close(); });
  // Edit commands go to the focused editor, which knows its selection (the one focused before
  // the menu that runs them took the focus).
  for (const char* name : {"cut", "paste", "select-all"}) {
    const std::string target = std::string(name) == "select-all" ? "selection.select-all"
                                                                  : std::string("clipboard.") + name;
    add_action(name, [this, target] {
      auto* content = dynamic_cast<ContentView*>(get_child());
      if (auto* focus = content != nullptr ? content->editingFocus() : get_focus()) focus->activate_action(target);
    });
  }

  // The title follows the edited state; changes are gathered until the window's input has been
  // handled, and shown before its next frame (not after the editors' layout of a long text).
  auto alive = std::weak_ptr<bool>(alive_);
  auto pending = std::make_shared<bool>(false);
  changes_ = record_->document()->objectWillChange().sink([this, alive, pending] {
    if (*pending) return;
    *pending = true;
    Glib::signal_idle().connect_once(
        [this, alive, pending] {
          *pending = false;
          if (alive.lock()) refreshTitle();
        },
        Glib::PRIORITY_HIGH_IDLE);
  });
  refreshTitle();
}

DocumentWindow::~DocumentWindow() { changes_.cancel(); }

std::string DocumentWindow::windowTitle() const {
  std::string title = record_->displayName();
  const bool edited = record_->isFileContentEdited();
  if (edited) title += " \u2014 Edited";
  // Edits that the document's file cannot take (the Swift of an SVG file, the SVG of a Swift file).
  if (const auto outside = record_->editedTextOutsideFile()) title += (edited ? ", " : " \u2014 ") + *outside + " Not Saved";
  return title;
}

void DocumentWindow::refreshTitle() { set_title(windowTitle()); }

void DocumentWindow::closeNow() {
  closing_ = true;
  close();
}

bool DocumentWindow::on_close_request() {
  if (closing_ || !record_->isDocumentEdited()) {
    closing_ = true;
    return Gtk::ApplicationWindow::on_close_request();
  }
  app_.closeWindowAsking(*this, nullptr);
  return true;  // the question decides
}

}  // namespace SVGQuarvel

// ---- SVGQuarvelApp -------------------------------------------------------------------------

SVGQuarvelApp::SVGQuarvelApp()
    : Gtk::Application(applicationID,
                       Gio::Application::Flags::HANDLES_OPEN | Gio::Application::Flags::HANDLES_COMMAND_LINE) {
  // No options of its own; registering the empty list keeps the toolkit's parsing of the command
  // line (--help, and an error for unknown options) before the files reach on_command_line.
  static const GOptionEntry noOptions[] = {{nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr}};
  g_application_add_main_option_entries(G_APPLICATION(gobj()), noOptions);
  g_application_set_option_context_parameter_string(G_APPLICATION(gobj()), "[FILE\u2026]");
}

SVGQuarvelApp::~SVGQuarvelApp() {
  // The recent files and the document controller live on with the process.
  recentChanged_.disconnect();
  if (recentManager_) DocumentController::shared().setNoteNewRecentDocument(nullptr);
  DocumentController::shared().setCloser(nullptr);
  DocumentController::shared().setWindowNamer(nullptr);
  SVGConverterService::serviceProvider().setApplicationWindowsInUse(nullptr);
}

Glib::RefPtr<SVGQuarvelApp> SVGQuarvelApp::create() { return Glib::make_refptr_for_instance(new SVGQuarvelApp()); }

int SVGQuarvelApp::main(int argc, char* argv[]) {
  // A file-size limit makes a write fail with EFBIG instead of ending the process, so that a save
  // over the limit is reported like a full disk and the other windows keep their work.
  ::signal(SIGXFSZ, SIG_IGN);
  auto app = create();
  const int status = app->run(argc, argv);
  return status != 0 ? status : app->launchStatus_;
}

void SVGQuarvelApp::on_startup() {
  Gtk::Application::on_startup();
  // Started by the bus for a call, the application stays a while after its last one, so that
  // calls in a row find it running rather than starting it again for each.
  if ((get_flags() & Gio::Application::Flags::IS_SERVICE) == Gio::Application::Flags::IS_SERVICE) {
    set_inactivity_timeout(serviceLingerMilliseconds);
  }
  // Loads highlight.js before any window opens; the web views' engine is set up first (see
  // `WebView::setUpProcess`).
  QuarvelUtilities::WebView::setUpProcess();
  hljs_ = HighlightJS::shared();

  // The icon comes with the resources until it is installed into the icon theme.
  if (const auto icon = resourcePath("icons/hicolor/scalable/apps/org.quarvel.SVGQuarvel", "svg")) {
    const auto themeRoot = std::filesystem::path(*icon).parent_path().parent_path().parent_path().parent_path();
    if (auto display = Gdk::Display::get_default()) {
      Gtk::IconTheme::get_for_display(display)->add_search_path(themeRoot.string());
    }
  }
  Gtk::Window::set_default_icon_name(applicationID);

  delegate_ = std::make_unique<AppDelegate>(&makeAboutWindow);
  delegate_->setPresentError([this](const std::string& heading, const std::string& detail) {
    showError(get_active_window(), heading, detail);
  });
  delegate_->setActivityHooks([this] { hold(); }, [this] { release(); });
  // The windows that calls of the open service will open count as open: both kinds of request
  // keep within one bound of windows in use.
  delegate_->setWindowsOpen([this] { return documentWindows().size() + SVGConverterService::windowsOpening(); });
  SVGConverterService::serviceProvider().setActivityHooks([this] { hold(); }, [this] { release(); });
  SVGConverterService::serviceProvider().setApplicationWindowsInUse([this] { return delegate_->windowsInUse(); });
  DocumentController::shared().setPresenter(
      [this](const SVGQuarvel::DocumentRecordPtr& record) { presentDocument(record); });
  DocumentController::shared().setCloser([this](const SVGQuarvel::DocumentRecordPtr& record) {
    if (auto* window = windowFor(record)) window->closeNow();
  });
  DocumentController::shared().setWindowNamer([this](const SVGQuarvel::DocumentRecord& record) {
    for (const auto& window : windows_) {
      if (window->record().get() == &record) return window->windowTitle();
    }
    return record.displayName();
  });
  // Opened and saved files go to the desktop's recent files, which the Open Recent menu lists.
  recentManager_ = Gtk::RecentManager::get_default();
  recentMenu_ = Gio::Menu::create();
  DocumentController::shared().setNoteNewRecentDocument(
      [this](const std::filesystem::path& path) { noteNewRecentDocument(path); });
  recentChanged_ = recentManager_->signal_changed().connect([this] { refreshRecentMenu(); });
  refreshRecentMenu();

  installActions();
  installMenuBar();

  auto connection = get_dbus_connection();
  delegate_->applicationDidFinishLaunching(connection ? connection->gobj() : nullptr);
}

bool SVGQuarvelApp::dbus_register_vfunc(const Glib::RefPtr<Gio::DBus::Connection>& connection,
                                        const Glib::ustring& objectPath) {
  if (!Gtk::Application::dbus_register_vfunc(connection, objectPath)) return false;
  // Offered before the bus name is taken: a call that started the application as a service is
  // delivered as soon as the name is, and must find the services there.
  SVGConverterService::activate(connection->gobj());
  return true;
}

void SVGQuarvelApp::dbus_unregister_vfunc(const Glib::RefPtr<Gio::DBus::Connection>& connection,
                                          const Glib::ustring& objectPath) {
  SVGConverterService::deactivate(connection->gobj());
  Gtk::Application::dbus_unregister_vfunc(connection, objectPath);
}

void SVGQuarvelApp::on_activate() {
  if (!windows_.empty()) {
    windows_.back()->present();
    return;
  }
  // No window shows yet, but files handed over may still be converting into windows.
  if (refuseWindow()) return;
  try {
    DocumentController::shared().openUntitledDocumentAndDisplay(true);
  } catch (const std::exception& error) {
    console::error("could not open new document:", std::string(error.what()));
  }
}

namespace {

/// The line for a name given to open that is no local file (a web address, a remote folder's file).
std::string notLocalFile(const std::string& name) {
  return "\u201c" + SVGQuarvel::validUTF8(name) + "\u201d is not a local file.";
}

}  // namespace

void SVGQuarvelApp::on_open(const type_vec_files& files, const Glib::ustring&) {
  std::vector<std::filesystem::path> urls;
  std::vector<std::string> refused;
  for (const auto& file : files) {
    const auto path = file->get_path();
    if (path.empty()) {
      const std::string uri = file->get_uri();
      console::error("  cannot open non-SVG file:", uri);
      refused.push_back(notLocalFile(uri));
      continue;
    }
    urls.emplace_back(path);
  }
  showRefusedFiles(refused);
  if (!urls.empty()) delegate_->openFiles(urls);
}

void SVGQuarvelApp::showRefusedFiles(const std::vector<std::string>& refused) {
  if (refused.empty()) return;
  showError(get_active_window(),
            refused.size() == 1 ? "The file could not be opened." : "Some files could not be opened.",
            AppDelegate::failureDetail(refused));
}

int SVGQuarvelApp::on_command_line(const Glib::RefPtr<Gio::ApplicationCommandLine>& commandLine) {
  gchar** arguments = g_application_command_line_get_arguments(commandLine->gobj(), nullptr);
  std::vector<std::string> names;
  bool endOfOptions = false;
  for (gchar** argument = arguments != nullptr && arguments[0] != nullptr ? arguments + 1 : arguments;
       argument != nullptr && *argument != nullptr; ++argument) {
    // The parsing leaves the "--" that ends the options in place.
    if (!endOfOptions && std::string_view(*argument) == "--") {
      endOfOptions = true;
      continue;
    }
    names.emplace_back(*argument);
  }
  g_strfreev(arguments);
  if (names.empty()) {
    activate();
    return 0;
  }
  std::vector<std::filesystem::path> urls;
  std::vector<std::string> refused;
  for (const auto& name : names) {
    const auto file = commandLine->create_file_for_arg(name);
    const auto path = file->get_path();
    if (path.empty()) {
      console::error("  cannot open non-SVG file:", std::string(file->get_uri()));
      refused.push_back(notLocalFile(name));
      continue;
    }
    urls.emplace_back(path);
  }
  // The launch fails when none of its files opens; a launch that handed its files to this
  // process learns it when the command line is let go, which is after the last file settled.
  // (What this call returns is the status too, so it must not undo a failure already known.)
  auto status = std::make_shared<int>(0);
  auto finish = [this, commandLine, refused, status](const AppDelegate::OpenOutcome& outcome) {
    // A launch that handed its files over tells its own terminal what did not open.
    if (commandLine->is_remote()) {
      for (const auto& line : refused) commandLine->printerr("ERROR: " + line + "\n");
      for (const auto& line : outcome.failures) commandLine->printerr("ERROR: " + line + "\n");
    }
    if (outcome.opened > 0) return;
    *status = 1;
    if (!commandLine->is_remote()) launchStatus_ = 1;
    commandLine->set_exit_status(1);
  };
  showRefusedFiles(refused);
  if (urls.empty()) {
    finish({});
    return *status;
  }
  delegate_->openFiles(urls, finish);
  return *status;
}

void SVGQuarvelApp::presentDocument(const SVGQuarvel::DocumentRecordPtr& record) {
  for (const auto& window : windows_) {
    if (window->record() == record) {
      window->present();
      return;
    }
  }
  auto window = std::make_unique<DocumentWindow>(*this, record);
  auto* shown = window.get();
  add_window(*shown);
  shown->signal_hide().connect([this, shown] { windowClosed(shown); });
  windows_.push_back(std::move(window));
  shown->present();
}

DocumentWindow* SVGQuarvelApp::windowFor(const SVGQuarvel::DocumentRecordPtr& record) const {
  for (const auto& window : windows_) {
    if (window->record() == record) return window.get();
  }
  return nullptr;
}

void SVGQuarvelApp::windowClosed(DocumentWindow* window) {
  DocumentController::shared().close(*window->record());
  cancelSavePanels(*window->record());
  // Deleted once its signal handlers have returned, unless the application has gone first.
  Glib::signal_idle().connect_once(sigc::track_obj(
      [this, window] { std::erase_if(windows_, [window](const auto& open) { return open.get() == window; }); },
      *this));
}

std::vector<DocumentWindow*> SVGQuarvelApp::documentWindows() const {
  std::vector<DocumentWindow*> open;
  for (const auto& window : windows_) {
    if (window->get_visible()) open.push_back(window.get());
  }
  return open;
}

std::shared_ptr<SVGQuarvelDocument> SVGQuarvelApp::focusedDocument() const {
  auto* window = dynamic_cast<DocumentWindow*>(const_cast<SVGQuarvelApp*>(this)->get_active_window());
  if (window == nullptr || !window->get_visible()) return nullptr;
  return window->record()->document();
}

// ---- actions and menus ---------------------------------------------------------------------

void SVGQuarvelApp::installActions() {
  add_action("new", [this] {
    if (refuseWindow()) return;
    try {
      DocumentController::shared().openUntitledDocumentAndDisplay(true);
    } catch (const std::exception& error) {
      console::error("could not open new document:", std::string(error.what()));
    }
  });
  add_action("open", [this] { showOpenPanel(); });
  // The file goes as its URI: a name that is not UTF-8 cannot be a string of the action.
  add_action_with_parameter("open-recent", Glib::VARIANT_TYPE_STRING, [this](const Glib::VariantBase& parameter) {
    const auto uri = Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(parameter).get().raw();
    gchar* path = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
    if (path == nullptr) return;
    const std::filesystem::path file(path);
    g_free(path);
    openRecent(file);
  });
  add_action("quit", [this] { quitAsking(); });
  add_action("about", [this] { delegate_->orderFrontStandardAboutPanel(); });
  add_action("toggle-sidebar", [] { QuarvelUtilities::toggleSidebar(); });
  add_action("report-bug", [this] { showURL(AboutCommands::bugReportURL()); });
  add_action("icon-collection", [this] { showURL(std::string(ExampleSVGsMenu::iconCollectionURL)); });
  add_action_with_parameter("example", Glib::VARIANT_TYPE_INT32, [this](const Glib::VariantBase& parameter) {
    const auto index = Glib::VariantBase::cast_dynamic<Glib::Variant<gint32>>(parameter).get();
    if (index < 0 || static_cast<std::size_t>(index) >= exampleSVGs.size()) return;
    // Without a front document the drawing opens in a window of its own.
    const auto document = focusedDocument();
    if (!document && refuseWindow()) return;
    ExampleSVGsMenu::MenuView::openExample(exampleSVGs[static_cast<std::size_t>(index)].svg, document,
                                           DocumentController::shared());
  });

  set_accel_for_action("app.new", "<Control>n");
  set_accel_for_action("app.open", "<Control>o");
  set_accel_for_action("app.quit", "<Control>q");
  set_accel_for_action("win.save", "<Control>s");
  set_accel_for_action("win.save-as", "<Shift><Control>s");
  set_accel_for_action("win.close", "<Control>w");
}

void SVGQuarvelApp::installMenuBar() {
  auto bar = Gio::Menu::create();

  auto file = Gio::Menu::create();
  auto fileOpen = Gio::Menu::create();
  fileOpen->append("New", "app.new");
  fileOpen->append("Open\u2026", "app.open");
  fileOpen->append_submenu("Open Recent", recentMenu_);
  file->append_section(fileOpen);
  auto fileSave = Gio::Menu::create();
  fileSave->append("Save", "win.save");
  fileSave->append("Save As\u2026", "win.save-as");
  fileSave->append("Close", "win.close");
  file->append_section(fileSave);
  auto fileQuit = Gio::Menu::create();
  fileQuit->append("Quit", "app.quit");
  file->append_section(fileQuit);
  bar->append_submenu("File", file);

  auto edit = Gio::Menu::create();
  auto undo = Gio::Menu::create();
  undo->append("Undo", "doc.undo");
  undo->append("Redo", "doc.redo");
  edit->append_section(undo);
  auto clipboard = Gio::Menu::create();
  clipboard->append("Cut", "win.cut");
  using QuarvelUtilities::Selectors;
  clipboard->append("Copy", Selectors::detailed(Selectors::copy));
  clipboard->append("Paste", "win.paste");
  clipboard->append("Select All", "win.select-all");
  edit->append_section(clipboard);
  bar->append_submenu("Edit", edit);

  auto view = Gio::Menu::create();
  view->append("Toggle Sidebar", "app.toggle-sidebar");
  view->append("Toggle Editor Layout", "doc.toggle-layout");
  bar->append_submenu("View", view);

  auto format = Gio::Menu::create();
  auto font = Gio::Menu::create();
  font->append("Show Fonts", "doc.show-fonts");
  font->append("Bigger", Selectors::detailed(Selectors::increaseFontSize));
  font->append("Smaller", Selectors::detailed(Selectors::decreaseFontSize));
  format->append_submenu("Font", font);
  bar->append_submenu("Format", format);

  auto samples = Gio::Menu::create();
  auto sampleItems = Gio::Menu::create();
  for (std::size_t index = 0; index < exampleSVGs.size(); ++index) {
    auto item = Gio::MenuItem::create(std::string(exampleSVGs[index].title), "");
    item->set_action_and_target("app.example", Glib::Variant<gint32>::create(static_cast<gint32>(index)));
    sampleItems->append_item(item);
  }
  samples->append_section(sampleItems);
  auto collection = Gio::Menu::create();
  collection->append(std::string(ExampleSVGsMenu::iconCollectionItemTitle), "app.icon-collection");
  samples->append_section(collection);
  bar->append_submenu(std::string(ExampleSVGsMenu::title), samples);

  auto help = Gio::Menu::create();
  help->append(AboutCommands::aboutItemTitle(), "app.about");
  help->append(std::string(AboutCommands::reportBugItemTitle), "app.report-bug");
  bar->append_submenu("Help", help);

  // The software updater's commands: no updater is offered, so they add nothing.
  QuarvelUtilities::addCommands(QuarvelUtilities::SparkleCommands(true, false, false, 86400, std::nullopt, std::nullopt),
                                *bar);

  set_menubar(bar);
}

void SVGQuarvelApp::noteNewRecentDocument(const std::filesystem::path& path) {
  namespace Recent = SVGQuarvel::RecentDocuments;
  Gtk::RecentManager::Data data;
  data.display_name = SVGQuarvel::displayFileName(path);
  data.mime_type = Recent::mimeTypeOf(path);
  data.app_name = Recent::applicationName;
  data.app_exec = "svg-quarvel %f";
  recentManager_->add_item(SVGQuarvel::fileURLString(path), data);
}

void SVGQuarvelApp::refreshRecentMenu() {
  namespace Recent = SVGQuarvel::RecentDocuments;
  std::vector<Recent::Entry> entries;
  for (const auto& info : recentManager_->get_items()) {
    // The time is read through the C interface: the C++ wrapper of gtk_recent_info_get_modified()
    // takes a reference it was never given, and the item's time is freed twice.
    GDateTime* modified = gtk_recent_info_get_modified(info->gobj());
    entries.push_back({info->get_uri(), modified != nullptr ? g_date_time_to_unix(modified) : 0,
                       info->has_application(Recent::applicationName), info->exists()});
  }
  recentMenu_->remove_all();
  for (const auto& item : Recent::menuItems(std::move(entries))) {
    auto entry = Gio::MenuItem::create(item.title, "");
    entry->set_action_and_target("app.open-recent",
                                 Glib::Variant<Glib::ustring>::create(SVGQuarvel::fileURLString(item.path)));
    recentMenu_->append_item(entry);
  }
}

void SVGQuarvelApp::openRecent(const std::filesystem::path& path) {
  // The route of the command line and the Open panel: an SVG drawing opens as a new converted
  // document, within the size limit, and documents are read off the main thread. A document
  // already open comes forward; a new window past the bound is refused there.
  delegate_->openFiles({path});
}

bool SVGQuarvelApp::refuseWindow() {
  const auto refused = delegate_->refusedNewWindow();
  if (!refused) return false;
  showError(get_active_window(), noNewWindowHeading, *refused);
  return true;
}

namespace {

/// A hand-over of an address to the desktop, until the desktop answers.
struct URLHandOver {
  Glib::RefPtr<SVGQuarvelApp> app;
  GtkWindow* parent = nullptr;  // a reference of its own, the source of the answer
  std::string url;
  std::function<void()> answered;
};

}  // namespace

void SVGQuarvelApp::showURL(const std::string& url) {
  if (!showingURLs_.insert(url).second) return;
  auto* handOver = new URLHandOver;
  // The application stays for the answer, which tells it the address is no longer in flight.
  handOver->app = Glib::make_refptr_for_instance(this);
  reference();
  if (auto* active = get_active_window()) handOver->parent = GTK_WINDOW(g_object_ref(active->gobj()));
  handOver->url = url;
  handOver->answered = [this, url] { showingURLs_.erase(url); };
  gtk_show_uri_full(
      handOver->parent, url.c_str(), GDK_CURRENT_TIME, nullptr,
      +[](GObject*, GAsyncResult* result, gpointer data) {
        std::unique_ptr<URLHandOver> done(static_cast<URLHandOver*>(data));
        GError* failure = nullptr;
        if (!gtk_show_uri_full_finish(done->parent, result, &failure)) {
          console::error("could not show " + done->url + ":", std::string(failure != nullptr ? failure->message : ""));
          g_clear_error(&failure);
        }
        if (done->parent != nullptr) g_object_unref(done->parent);
        done->answered();
      },
      handOver);
}

// ---- open, save, close ---------------------------------------------------------------------

namespace {

/// A filter of the files of `types`, by their extensions (any case) and MIME types.
Glib::RefPtr<Gtk::FileFilter> filter(const std::string& name, const std::vector<UTType>& types) {
  auto result = Gtk::FileFilter::create();
  result->set_name(name);
  for (const auto& type : types) {
    for (const auto& extension : type.filenameExtensions()) result->add_suffix(extension);
    if (!type.preferredMIMEType().empty()) result->add_mime_type(type.preferredMIMEType());
  }
  return result;
}

/// The type a filter of `filter(type.localizedDescription(), {type})` stands for.
std::optional<UTType> typeOfFilter(const Glib::RefPtr<Gtk::FileFilter>& chosen, const std::vector<UTType>& types) {
  if (!chosen) return std::nullopt;
  for (const auto& type : types) {
    if (chosen->get_name().raw() == type.localizedDescription()) return type;
  }
  return std::nullopt;
}

}  // namespace

void SVGQuarvelApp::showOpenPanel() {
  // One Open panel for the application: asking again brings it forward.
  if (openPanel_ && openPanel_->get_visible()) return presentFileDialog("Open");
  openPanel_ = Gtk::FileChooserNative::create("Open", Gtk::FileChooser::Action::OPEN, "_Open", "_Cancel");
  if (auto* parent = get_active_window()) openPanel_->set_transient_for(*parent);
  openPanel_->set_select_multiple(true);
  // What the document reads, and SVG drawings, which open as new documents converted from them.
  auto types = SVGQuarvelDocument::readableContentTypes();
  if (std::find(types.begin(), types.end(), UTType::svg()) == types.end()) types.push_back(UTType::svg());
  openPanel_->add_filter(filter("Documents and SVG drawings", types));
  for (const auto& type : types) openPanel_->add_filter(filter(type.localizedDescription(), {type}));
  openPanel_->signal_response().connect([this](int response) {
    auto chooser = std::move(openPanel_);
    if (response != static_cast<int>(Gtk::ResponseType::ACCEPT)) return;
    // The chosen files are read through the C interface: the C++ wrapper of the list's items
    // cannot wrap GIO's private class of local files, so they would not cast to files.
    std::vector<std::filesystem::path> urls;
    const auto chosen = chooser->get_files();
    GListModel* files = chosen->gobj();
    for (guint index = 0; index < g_list_model_get_n_items(files); ++index) {
      auto* file = static_cast<GFile*>(g_list_model_get_item(files, index));
      if (file == nullptr) continue;
      if (char* path = g_file_get_path(file)) {
        urls.emplace_back(path);
        g_free(path);
      } else {
        char* uri = g_file_get_uri(file);
        console::error("  cannot open non-local file:", std::string(uri != nullptr ? uri : ""));
        g_free(uri);
      }
      g_object_unref(file);
    }
    if (!urls.empty()) delegate_->openFiles(urls);
  });
  openPanel_->show();
}

void SVGQuarvelApp::presentFileDialog(const std::string& title, Gtk::Window* parent) {
  // Without a desktop portal the toolkit shows the panel as a window of its own, which can be
  // brought forward; a portal's panel is the desktop's to show. The windows are looked at through
  // the C interface: a C++ wrapper made for the toolkit's own dialog would outlive it.
  GListModel* toplevels = gtk_window_get_toplevels();
  for (guint index = 0; index < g_list_model_get_n_items(toplevels); ++index) {
    auto* window = static_cast<GtkWindow*>(g_list_model_get_item(toplevels, index));
    const bool match = GTK_IS_FILE_CHOOSER_DIALOG(window) && gtk_widget_get_visible(GTK_WIDGET(window)) &&
                       g_strcmp0(gtk_window_get_title(window), title.c_str()) == 0 &&
                       (parent == nullptr || gtk_window_get_transient_for(window) == parent->gobj());
    if (match) gtk_window_present(window);
    g_object_unref(window);
    if (match) return;
  }
}

void SVGQuarvelApp::presentDialogsOver(Gtk::Window& window) {
  // Through the C interface, as above: the toolkit's own dialogs have no C++ wrapper to outlive.
  GListModel* toplevels = gtk_window_get_toplevels();
  for (guint index = 0; index < g_list_model_get_n_items(toplevels); ++index) {
    auto* shown = static_cast<GtkWindow*>(g_list_model_get_item(toplevels, index));
    if (GTK_IS_DIALOG(shown) && gtk_widget_get_visible(GTK_WIDGET(shown)) &&
        gtk_window_get_transient_for(shown) == window.gobj()) {
      gtk_window_present(shown);
    }
    g_object_unref(shown);
  }
}

SVGQuarvel::DocumentWindow* SVGQuarvelApp::openWindowFor(const SVGQuarvel::DocumentRecordPtr& record) const {
  if (!record) return nullptr;
  for (const auto& window : windows_) {
    if (window->record() == record && window->get_visible()) return window.get();
  }
  return nullptr;
}

void SVGQuarvelApp::saveDocument(DocumentWindow& window, bool saveAs, std::function<void(bool)> then) {
  auto record = window.record();
  auto finish = [then](bool saved) {
    if (then) then(saved);
  };
  if (!saveAs && record->fileURL()) {
    runSave(
        window, [record](bool overwrite) { DocumentController::shared().save(*record, overwrite); }, false, finish);
    return;
  }
  // The window's Save panel shows already: its answer serves this request too.
  for (const auto& panel : savePanels_) {
    if (panel->record.lock() == record) {
      panel->waiting.push_back(finish);
      presentFileDialog("Save", &window);
      return;
    }
  }
  auto panel = std::make_unique<SavePanel>();
  panel->record = record;
  panel->waiting.push_back(finish);
  auto chooser = Gtk::FileChooserNative::create("Save", window, Gtk::FileChooser::Action::SAVE, "_Save", "_Cancel");
  panel->chooser = chooser;
  const auto writable = SVGQuarvelDocument::writableContentTypes();
  for (const auto& type : writable) chooser->add_filter(filter(type.localizedDescription(), {type}));
  // Edits that the document's file cannot take go to a document file.
  const std::string documentExtension = "." + writable.front().filenameExtensions().front();
  std::string name = record->displayName() + documentExtension;
  if (const auto& url = record->fileURL()) {
    name = record->editedTextOutsideFile() ? SVGQuarvel::displayFileName(url->stem()) + documentExtension
                                           : SVGQuarvel::displayFileName(*url);
  }
  chooser->set_current_name(name);
  chooser->signal_response().connect([this, shown = panel.get(), writable](int response) {
    const auto found = std::find_if(savePanels_.begin(), savePanels_.end(),
                                    [shown](const auto& open) { return open.get() == shown; });
    if (found == savePanels_.end()) return;
    const auto answered = std::move(*found);
    savePanels_.erase(found);
    auto done = [waiting = answered->waiting](bool saved) {
      for (const auto& waiter : waiting) waiter(saved);
    };
    const auto& panelChooser = answered->chooser;
    auto kept = answered->record.lock();
    // The window may have closed while its panel showed.
    auto* shownWindow = openWindowFor(kept);
    if (shownWindow == nullptr || response != static_cast<int>(Gtk::ResponseType::ACCEPT)) return done(false);
    auto file = panelChooser->get_file();
    if (!file || file->get_path().empty()) return done(false);
    std::filesystem::path url = file->get_path();
    bool extended = false;
    if (!url.has_extension()) {
      // The chosen filter decides the type of a name without extension.
      const auto type = typeOfFilter(panelChooser->get_filter(), writable).value_or(writable.front());
      url += "." + type.filenameExtensions().front();
      extended = true;
    }
    auto save = [this, kept, url, done] {
      // Looked up again: the window may have closed while the question below showed.
      auto* target = openWindowFor(kept);
      if (target == nullptr) return done(false);
      runSave(
          *target,
          [kept, url](bool overwrite) {
            // Asked again only for the document's own file, which another program changed.
            if (overwrite) {
              DocumentController::shared().save(*kept, true);
            } else {
              DocumentController::shared().saveAs(*kept, url, DocumentController::typeForSaving(url));
            }
          },
          false, done);
    };
    // The panel asked about the name as it was typed; the name with its extension may be another file's.
    struct stat existing {};
    if (extended && ::lstat(url.c_str(), &existing) == 0) return askToReplace(*shownWindow, url, save, done);
    save();
  });
  savePanels_.push_back(std::move(panel));
  chooser->show();
}

void SVGQuarvelApp::cancelSavePanels(const SVGQuarvel::DocumentRecord& record) {
  std::vector<std::unique_ptr<SavePanel>> closed;
  std::erase_if(savePanels_, [&](auto& panel) {
    const auto owner = panel->record.lock();
    if (owner && owner.get() != &record) return false;
    closed.push_back(std::move(panel));
    return true;
  });
  for (const auto& panel : closed) {
    panel->chooser->hide();
    for (const auto& then : panel->waiting) then(false);
  }
}

void SVGQuarvelApp::askToReplace(DocumentWindow& window, const std::filesystem::path& url,
                                 const std::function<void()>& replace, const std::function<void(bool)>& finish) {
  const std::string heading = "A file named \u201c" + SVGQuarvel::displayFileName(url) +
                              "\u201d already exists. Do you want to replace it?";
  auto* dialog = addDialog(std::make_unique<Gtk::MessageDialog>(window, heading, false, Gtk::MessageType::WARNING,
                                                                Gtk::ButtonsType::NONE, true));
  dialog->set_title(heading);
  dialog->set_secondary_text("It is in the folder \u201c" + SVGQuarvel::displayFileName(url.parent_path()) +
                             "\u201d. Replacing it overwrites what it holds.");
  dialog->add_button("Cancel", Gtk::ResponseType::CANCEL);
  dialog->add_button("Replace", Gtk::ResponseType::YES);
  dialog->set_default_response(Gtk::ResponseType::CANCEL);
  dialog->signal_response().connect([this, dialog, replace, finish](int response) {
    removeDialog(dialog);
    if (response != static_cast<int>(Gtk::ResponseType::YES)) return finish(false);
    replace();
  });
  dialog->show();
}

void SVGQuarvelApp::runSave(DocumentWindow& window, const std::function<void(bool overwrite)>& write, bool overwrite,
                            const std::function<void(bool)>& finish) {
  auto record = window.record();
  try {
    write(overwrite);
    window.refreshTitle();
    finish(true);
  } catch (const FileChangedError& error) {
    // Another program wrote the file since this window read or saved it: the user chooses whose
    // version stays. Keeping the other one writes nothing and leaves the window's edits unsaved.
    window.present();
    // Asked already: that question's answer decides this save too.
    for (const auto& asked : changedFileQuestions_) {
      if (asked->record.lock() != record) continue;
      asked->waiting.push_back(finish);
      asked->dialog->present();
      return;
    }
    const std::string heading =
        "The file \u201c" + record->displayName() + "\u201d has been changed by another application.";
    console::error(heading, std::string(error.what()));
    auto* dialog = addDialog(std::make_unique<Gtk::MessageDialog>(window, heading, false, Gtk::MessageType::WARNING,
                                                                  Gtk::ButtonsType::NONE, true));
    dialog->set_title(heading);
    dialog->set_secondary_text(
        "Do you want to overwrite it with the version in this window, or keep the other version? If you keep "
        "it, the changes in this window stay unsaved.");
    dialog->add_button("Keep Other Version", Gtk::ResponseType::NO);
    dialog->add_button("Overwrite", Gtk::ResponseType::YES);
    dialog->set_default_response(Gtk::ResponseType::NO);
    auto question = std::make_unique<ChangedFileQuestion>();
    question->record = record;
    question->file = record->fileURL();
    question->dialog = dialog;
    question->waiting.push_back(finish);
    dialog->signal_response().connect([this, dialog, asked = question.get(), write](int response) {
      removeDialog(dialog);
      const auto found = std::find_if(changedFileQuestions_.begin(), changedFileQuestions_.end(),
                                      [asked](const auto& open) { return open.get() == asked; });
      if (found == changedFileQuestions_.end()) return;
      const auto answered = std::move(*found);
      changedFileQuestions_.erase(found);
      auto done = [waiting = answered->waiting](bool saved) {
        for (const auto& waiter : waiting) waiter(saved);
      };
      auto* shown = openWindowFor(answered->record.lock());
      if (shown == nullptr) return done(false);
      // The window went to another file while the question showed: the answer was about the
      // file asked about, so nothing is written.
      if (shown->record()->fileURL() != answered->file) {
        shown->refreshTitle();
        return done(false);
      }
      if (response != static_cast<int>(Gtk::ResponseType::YES)) {
        shown->refreshTitle();
        return done(false);
      }
      runSave(*shown, write, true, done);
    });
    changedFileQuestions_.push_back(std::move(question));
    dialog->show();
  } catch (const std::exception& error) {
    showError(&window, "The document \u201c" + record->displayName() + "\u201d could not be saved.", error.what());
    finish(false);
  }
}

void SVGQuarvelApp::closeWindowAsking(DocumentWindow& window, std::function<void(bool)> then) {
  const auto& record = window.record();
  if (!record->isDocumentEdited()) {
    window.closeNow();
    if (then) then(true);
    return;
  }
  // Asked already (Close twice, the window manager's close button, Close during the quit's question
  // or its Save panel): that question, panel or save answers this request too.
  for (const auto& pending : pendingCloses_) {
    if (pending->record.lock() != record) continue;
    if (then) pending->waiting.push_back(std::move(then));
    window.present();
    presentDialogsOver(window);
    return;
  }
  auto pending = std::make_unique<PendingClose>();
  pending->record = record;
  if (then) pending->waiting.push_back(std::move(then));
  auto finish = [this, asking = pending.get()](bool closed) {
    const auto found = std::find_if(pendingCloses_.begin(), pendingCloses_.end(),
                                    [asking](const auto& open) { return open.get() == asking; });
    if (found == pendingCloses_.end()) return;
    const auto answered = std::move(*found);
    pendingCloses_.erase(found);
    for (const auto& waiter : answered->waiting) waiter(closed);
  };
  pendingCloses_.push_back(std::move(pending));
  window.present();
  const std::string name = record->displayName();
  const std::string question = "Do you want to save the changes made to the document \u201c" + name + "\u201d?";
  auto* dialog = addDialog(std::make_unique<Gtk::MessageDialog>(window, question, false, Gtk::MessageType::WARNING,
                                                                Gtk::ButtonsType::NONE, true));
  dialog->set_title(question);
  // Edits that the document's file cannot take are saved in a document file of their own.
  const auto outside = record->editedTextOutsideFile();
  if (outside) {
    const std::string kept = *outside == "Swift" ? "SVG" : "Swift";
    dialog->set_secondary_text("\u201c" + name + "\u201d holds only the " + kept + ": your " + *outside +
                               " edits will be lost unless you save them in an SVG Quarvel document.");
  } else {
    dialog->set_secondary_text("Your changes will be lost if you don\u2019t save them.");
  }
  dialog->add_button("Don\u2019t Save", Gtk::ResponseType::NO);
  dialog->add_button("Cancel", Gtk::ResponseType::CANCEL);
  dialog->add_button(outside ? "Save As\u2026" : "Save", Gtk::ResponseType::YES);
  dialog->set_default_response(Gtk::ResponseType::YES);
  const bool saveAs = outside.has_value();
  // The window is looked up again at each answer: it may have closed meanwhile.
  auto weak = std::weak_ptr<SVGQuarvel::DocumentRecord>(record);
  dialog->signal_response().connect([this, dialog, weak, finish, saveAs](int response) {
    removeDialog(dialog);
    auto* asked = openWindowFor(weak.lock());
    if (asked == nullptr) return finish(true);
    if (response == static_cast<int>(Gtk::ResponseType::NO)) {
      asked->closeNow();
      return finish(true);
    }
    if (response != static_cast<int>(Gtk::ResponseType::YES)) return finish(false);
    saveDocument(*asked, saveAs, [this, weak, finish](bool saved) {
      auto saving = weak.lock();
      auto* shown = openWindowFor(saving);
      if (shown == nullptr) return finish(true);  // it closed meanwhile
      // Saved only in part (the chosen file took one text): the window stays and says so.
      if (saved && saving->isDocumentEdited()) saved = false;
      if (saved) shown->closeNow();
      finish(saved);
    });
  });
  dialog->show();
}

void SVGQuarvelApp::quitAsking() {
  // A quit asks once: its questions go on.
  if (quitting_) return;
  quitting_ = true;
  askBeforeQuitting();
}

void SVGQuarvelApp::askBeforeQuitting() {
  // Looked up afresh for each question: windows close and open while the user answers.
  for (auto* window : documentWindows()) {
    if (!window->record()->isDocumentEdited()) continue;
    closeWindowAsking(*window, [this](bool closed) {
      if (!closed) {
        quitting_ = false;
        return;
      }
      askBeforeQuitting();
    });
    return;
  }
  quitting_ = false;
  quit();
}

void SVGQuarvelApp::showError(Gtk::Window* parent, const std::string& message, const std::string& detail) {
  // A request repeated over the bus fails alike each time: its message shows once, and many
  // different ones stop at a bound, so that they neither fill the session with windows nor hold
  // the main loop.
  // Each is logged all the same, so that every refusal leaves a trace.
  console::error(message, detail);
  std::size_t shown = 0;
  for (const auto& dialog : dialogs_) {
    if (!dialog->get_visible() || dialog->property_message_type().get_value() != Gtk::MessageType::ERROR) continue;
    if (dialog->get_title().raw() == message && dialog->property_secondary_text().get_value().raw() == detail) return;
    ++shown;
  }
  if (parent == nullptr) parent = get_active_window();
  if (parent == nullptr || shown >= maximumShownErrors) return;
  auto* dialog = addDialog(std::make_unique<Gtk::MessageDialog>(*parent, message, false, Gtk::MessageType::ERROR,
                                                                Gtk::ButtonsType::OK, true));
  // Named like its heading, so that the error can be told apart in window lists and by assistive
  // technology.
  dialog->set_title(message);
  dialog->set_secondary_text(detail);
  dialog->signal_response().connect([this, dialog](int) { removeDialog(dialog); });
  dialog->show();
}

Gtk::MessageDialog* SVGQuarvelApp::addDialog(std::unique_ptr<Gtk::MessageDialog> dialog) {
  // A message keeps the other windows from input while it shows, and is no window of the
  // application's, whose shortcuts it would take: Quit still reaches the application from it, and
  // asks about each edited window as it does from a document window.
  auto shortcuts = Gtk::ShortcutController::create();
  const auto quit = Gtk::CallbackAction::create([this](Gtk::Widget&, const Glib::VariantBase&) {
    activate_action("quit");
    return true;
  });
  for (const auto& accelerator : get_accels_for_action("app.quit")) {
    shortcuts->add_shortcut(Gtk::Shortcut::create(Gtk::ShortcutTrigger::parse_string(accelerator), quit));
  }
  dialog->add_controller(shortcuts);
  dialogs_.push_back(std::move(dialog));
  return dialogs_.back().get();
}

void SVGQuarvelApp::removeDialog(Gtk::MessageDialog* dialog) {
  dialog->hide();
  // Deleted once its signal handlers have returned, unless the application has gone first.
  Glib::signal_idle().connect_once(sigc::track_obj(
      [this, dialog] { std::erase_if(dialogs_, [dialog](const auto& open) { return open.get() == dialog; }); },
      *this));
}
