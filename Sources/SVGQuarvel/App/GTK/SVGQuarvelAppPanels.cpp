// The Open panel, and bringing forward the panels and questions that show already.
#include <algorithm>

#include "Fennix/console/Console.h"
#include "SVGQuarvel/App/GTK/FileFilters.h"
#include "SVGQuarvel/App/GTK/SVGQuarvelApp.h"

using SVGQuarvel::fileFilter;

void SVGQuarvelApp::showOpenPanel() {
  // One Open panel for the application: asking again brings it forward.
  if (openPanel_ && openPanel_->get_visible()) return presentFileDialog("Open");
  openPanel_ = Gtk::FileChooserNative::create("Open", Gtk::FileChooser::Action::OPEN, "_Open", "_Cancel");
  if (auto* parent = get_active_window()) openPanel_->set_transient_for(*parent);
  openPanel_->set_select_multiple(true);
  // What the document reads, and SVG drawings, which open as new documents converted from them.
  auto types = SVGQuarvelDocument::readableContentTypes();
  if (std::find(types.begin(), types.end(), UTType::svg()) == types.end()) types.push_back(UTType::svg());
  openPanel_->add_filter(fileFilter("Documents and SVG drawings", types));
  for (const auto& type : types) openPanel_->add_filter(fileFilter(type.localizedDescription(), {type}));
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
        console::error("  cannot open non-local file:", SVGQuarvel::displayText(uri != nullptr ? uri : ""));
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
