// Launches: the application started without files, files handed over by the desktop, and the
// command line of this launch or of a second one.
#include <string_view>

#include "Fennix/console/Console.h"
#include "SVGQuarvel/App/GTK/SVGQuarvelApp.h"
#include "SVGQuarvel/App/WorkingFolder.h"

using SVGQuarvel::DocumentController;

void SVGQuarvelApp::on_activate() {
  if (notStarted_) return;
  // A launch that opens no window fails.
  if (presentSomeWindow() && documentWindows().empty()) launchStatus_ = 1;
}

std::optional<std::string> SVGQuarvelApp::presentSomeWindow() {
  if (!windows_.empty()) {
    windows_.back()->present();
    return std::nullopt;
  }
  // No window shows yet, but files handed over may still be converting into windows.
  if (const auto refused = delegate_->refusedNewWindow()) {
    showError(get_active_window(), noNewWindowHeading, *refused);
    return refused;
  }
  return openUntitledWindow();
}

std::optional<std::string> SVGQuarvelApp::openUntitledWindow() {
  try {
    DocumentController::shared().openUntitledDocumentAndDisplay(true);
    return std::nullopt;
  } catch (const std::exception& error) {
    showError(get_active_window(), noNewWindowHeading, error.what());
    return error.what();
  }
}

namespace {

void (*toolkitPlatformData)(GApplication*, GVariantBuilder*) = nullptr;

/// The platform data a launch sends with its command line to the running application: the
/// toolkit's, and whether the folder its relative names are taken from could not be named.
void addPlatformData(GApplication* application, GVariantBuilder* builder) {
  if (toolkitPlatformData != nullptr) toolkitPlatformData(application, builder);
  if (!SVGQuarvel::WorkingFolder::isNamed()) {
    g_variant_builder_add(builder, "{sv}", SVGQuarvel::WorkingFolder::goneKey, g_variant_new_boolean(TRUE));
  }
}

/// Whether the launch of `commandLine` was started in a folder that could not be named: this
/// process's, or the one its launch says in its platform data.
bool workingFolderGone(const Glib::RefPtr<Gio::ApplicationCommandLine>& commandLine) {
  if (!commandLine->is_remote()) return !SVGQuarvel::WorkingFolder::isNamed();
  GVariant* data = g_application_command_line_get_platform_data(commandLine->gobj());
  gboolean gone = FALSE;
  if (data != nullptr) {
    (void)g_variant_lookup(data, SVGQuarvel::WorkingFolder::goneKey, "b", &gone);
    g_variant_unref(data);
  }
  return gone != FALSE;
}

}  // namespace

void SVGQuarvelApp::sendWorkingFolderWithLaunches() {
  // The toolkit offers no other way to add to the platform data than its class's own.
  auto* type = G_APPLICATION_GET_CLASS(gobj());
  if (type->add_platform_data == addPlatformData) return;
  toolkitPlatformData = type->add_platform_data;
  type->add_platform_data = addPlatformData;
}

namespace {

/// The line for a name given to open that is no local file (a web address, a remote folder's file).
std::string notLocalFile(const std::string& name) {
  return "\u201c" + SVGQuarvel::displayText(name) + "\u201d is not a local file.";
}

}  // namespace

void SVGQuarvelApp::on_open(const type_vec_files& files, const Glib::ustring&) {
  if (notStarted_) return;
  std::vector<std::filesystem::path> urls;
  std::vector<std::string> refused;
  for (const auto& file : files) {
    const auto path = file->get_path();
    if (path.empty()) {
      const std::string uri = file->get_uri();
      console::error("  cannot open non-SVG file:", SVGQuarvel::displayText(uri));
      refused.push_back(notLocalFile(uri));
      continue;
    }
    urls.emplace_back(path);
  }
  // One message for the request: the names refused here and the files that do not open.
  if (!urls.empty() || !refused.empty()) delegate_->openFiles(urls, nullptr, std::move(refused));
}

int SVGQuarvelApp::on_command_line(const Glib::RefPtr<Gio::ApplicationCommandLine>& commandLine) {
  if (notStarted_) return 1;
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
    if (!commandLine->is_remote()) {
      activate();
      return 0;
    }
    // A launch that handed over no files asks for a window: where none can be shown, its own
    // terminal says why and it fails, as when its files do not open.
    const auto refused = presentSomeWindow();
    if (!refused) return 0;
    commandLine->printerr("ERROR: " + SVGQuarvel::displayText(std::string(noNewWindowHeading) + " " + *refused) + "\n");
    commandLine->set_exit_status(1);
    return 1;
  }
  std::vector<std::filesystem::path> urls;
  std::vector<std::string> refused;
  // A relative name given in a folder that was deleted would be taken from the root of the file
  // system, and another file of its name opened.
  const bool folderGone = workingFolderGone(commandLine);
  for (const auto& name : names) {
    if (folderGone && SVGQuarvel::WorkingFolder::isRelative(name)) {
      refused.push_back(SVGQuarvel::WorkingFolder::goneLine(name));
      continue;
    }
    const auto file = commandLine->create_file_for_arg(name);
    const auto path = file->get_path();
    if (path.empty()) {
      console::error("  cannot open non-SVG file:", SVGQuarvel::displayText(file->get_uri()));
      refused.push_back(notLocalFile(name));
      continue;
    }
    urls.emplace_back(path);
  }
  // The launch fails when none of its files opens; a launch that handed its files to this
  // process learns it when the command line is let go, which is after the last file settled.
  // (What this call returns is the status too, so it must not undo a failure already known.)
  auto status = std::make_shared<int>(0);
  auto finish = [this, commandLine, status](const AppDelegate::OpenOutcome& outcome) {
    // A launch that handed its files over tells its own terminal what did not open.
    if (commandLine->is_remote()) {
      // Each on one line of UTF-8, which is all the terminal's side takes.
      for (const auto& line : outcome.failures) {
        commandLine->printerr("ERROR: " + SVGQuarvel::displayText(line) + "\n");
      }
    }
    if (outcome.opened > 0) return;
    *status = 1;
    if (!commandLine->is_remote()) launchStatus_ = 1;
    commandLine->set_exit_status(1);
  };
  // One message for the launch: the names refused here and the files that do not open.
  delegate_->openFiles(urls, finish, std::move(refused));
  return *status;
}
