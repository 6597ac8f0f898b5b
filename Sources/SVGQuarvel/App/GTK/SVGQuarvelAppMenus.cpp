// The application's actions, its menu bar and the Open Recent menu.
#include <giomm/menu.h>
#include <giomm/simpleaction.h>

#include "Fennix/console/Console.h"
#include "QuarvelUtilities/GTK/ShellUtilities.h"
#include "SVGQuarvel/App/About.h"
#include "SVGQuarvel/App/ExampleSVGs.h"
#include "SVGQuarvel/App/GTK/SVGQuarvelApp.h"
#include "SVGQuarvel/App/RecentDocuments.h"

using SVGQuarvel::DocumentController;

void SVGQuarvelApp::installActions() {
  add_action("new", [this] {
    if (refuseWindow()) return;
    openUntitledWindow();
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
    // A window that could not be made says why, like New.
    if (const auto failure = ExampleSVGsMenu::MenuView::openExample(exampleSVGs[static_cast<std::size_t>(index)].svg,
                                                                    document, DocumentController::shared())) {
      showError(get_active_window(), noNewWindowHeading, *failure);
    }
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
  // The desktop's list offers each file to open with this application: only what it opens (a
  // Swift source file saved from a document is not).
  if (!Recent::opens(path)) return;
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
    // A menu takes an underscore for the mark of the key that chooses the item: the title's own
    // show doubled, so that "a_b.svg" is not shown as "ab.svg".
    std::string title;
    for (const char c : item.title) title += c == '_' ? std::string("__") : std::string(1, c);
    auto entry = Gio::MenuItem::create(title, "");
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
          console::error("could not show " + SVGQuarvel::displayText(done->url) + ":", std::string(failure != nullptr ? failure->message : ""));
          g_clear_error(&failure);
        }
        if (done->parent != nullptr) g_object_unref(done->parent);
        done->answered();
      },
      handOver);
}
