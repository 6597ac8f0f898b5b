#include "SVGQuarvel/App/GTK/SVGQuarvelApp.h"

#include <glibmm/main.h>
#include <gtkmm/icontheme.h>
#include <sigc++/adaptors/track_obj.h>

#include <csignal>

#include "Fennix/console/Console.h"
#include "Highlight/HighlightJS.h"
#include "Highlight/Resources.h"
#include "QuarvelUtilities/GTK/WebView.h"
#include "SVGQuarvel/App/FileDescriptors.h"
#include "SVGQuarvel/App/GTK/AboutWindow.h"
#include "SVGQuarvel/App/SVGConverterService.h"

using SVGQuarvel::DocumentController;
using SVGQuarvel::DocumentWindow;

SVGQuarvelApp::SVGQuarvelApp()
    : Gtk::Application(applicationID,
                       Gio::Application::Flags::HANDLES_OPEN | Gio::Application::Flags::HANDLES_COMMAND_LINE) {
  // No options of its own; registering the empty list keeps the toolkit's parsing of the command
  // line (--help, and an error for unknown options) before the files reach on_command_line.
  static const GOptionEntry noOptions[] = {{nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr}};
  g_application_add_main_option_entries(G_APPLICATION(gobj()), noOptions);
  g_application_set_option_context_parameter_string(G_APPLICATION(gobj()), "[FILE\u2026]");
  sendWorkingFolderWithLaunches();
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
  // Each window takes many files (its web view, the web engine's processes): the process may open
  // as many as the system lets it. Too few even to hand the files over ends the launch here, with
  // a line that says so, before a library fails for want of one.
  const std::size_t limit = SVGQuarvel::FileDescriptors::raiseLimit();
  if (!SVGQuarvel::FileDescriptors::available(SVGQuarvel::FileDescriptors::toLaunch)) {
    console::error(tooFewFiles(limit));
    return 1;
  }
  auto app = create();
  const int status = app->run(argc, argv);
  return status != 0 ? status : app->launchStatus_;
}

std::string SVGQuarvelApp::tooFewFiles(std::size_t limit) {
  return "SVG Quarvel could not start: it may have " + std::to_string(limit) +
         " files open at a time, too few for it to run. Raise the limit of open files (ulimit -n) or close "
         "some files of the program that starts it, and try again.";
}

void SVGQuarvelApp::on_startup() {
  Gtk::Application::on_startup();
  // The first launch, which goes on to run the application: the highlighter, the web engine and a
  // message need their files. Without them it does not start, and says so on the terminal.
  if (!SVGQuarvel::FileDescriptors::available(SVGQuarvel::FileDescriptors::toStart)) {
    console::error(tooFewFiles(SVGQuarvel::FileDescriptors::raiseLimit()));
    notStarted_ = true;
    launchStatus_ = 1;
    // The services are offered already, for the call that started the application: a drawing
    // sent to open is refused rather than answered as opened with no window to show it.
    DocumentController::shared().setPresenter([](const SVGQuarvel::DocumentRecordPtr&) {
      throw CocoaError(CocoaError::fileReadUnknown, SVGQuarvel::FileDescriptors::tooFewFilesForAWindow());
    });
    return;
  }
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
  // The open service sees the same windows in use as it opens each of its windows: both kinds of
  // request keep within one bound.
  delegate_->setWindowsOpen([this] { return documentWindows().size(); });
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

void SVGQuarvelApp::presentDocument(const SVGQuarvel::DocumentRecordPtr& record) {
  for (const auto& window : windows_) {
    if (window->record() == record) {
      window->present();
      return;
    }
  }
  // A window that could not get the files its web view takes would end the process: it is refused
  // while there is room for a message that says why. With none of its windows open to close, the
  // limit itself is too low.
  if (!SVGQuarvel::FileDescriptors::available(SVGQuarvel::FileDescriptors::perWindow)) {
    throw CocoaError(CocoaError::fileReadUnknown, documentWindows().empty()
                                                      ? SVGQuarvel::FileDescriptors::tooFewFilesForAWindow()
                                                      : std::string(SVGQuarvel::FileDescriptors::tooManyFilesOpen));
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

SVGQuarvel::DocumentWindow* SVGQuarvelApp::openWindowFor(const SVGQuarvel::DocumentRecordPtr& record) const {
  if (!record) return nullptr;
  for (const auto& window : windows_) {
    if (window->record() == record && window->get_visible()) return window.get();
  }
  return nullptr;
}
