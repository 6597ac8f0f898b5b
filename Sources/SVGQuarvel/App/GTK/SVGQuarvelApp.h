// The application: one window per document, the menu bar, the About window, files given on the
// command line or by the desktop (a second launch hands its files to the running instance), and
// the services on the session bus.
// Its parts stand in files of their own beside this one: SVGQuarvelApp.cpp (start, the bus and the
// document windows), SVGQuarvelAppLaunches.cpp, SVGQuarvelAppMenus.cpp (actions and menus),
// SVGQuarvelAppPanels.cpp (the Open panel), SVGQuarvelAppSaving.cpp, SVGQuarvelAppQuitting.cpp and
// SVGQuarvelAppMessages.cpp; the document window in DocumentWindow.h.
#pragma once

#include <giomm/applicationcommandline.h>
#include <giomm/file.h>
#include <giomm/menu.h>
#include <gtkmm/application.h>
#include <gtkmm/filechoosernative.h>
#include <gtkmm/messagedialog.h>
#include <gtkmm/recentmanager.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "SVGQuarvel/App/AppDelegate.h"
#include "SVGQuarvel/App/DocumentController.h"
#include "SVGQuarvel/App/GTK/DocumentWindow.h"

class HighlightJS;

class SVGQuarvelApp : public Gtk::Application {
 public:
  /// The application's identifier: its bus name and the name of its icon.
  static constexpr const char* applicationID = "org.quarvel.SVGQuarvel";
  /// How long an application started by the bus stays after its last call.
  static constexpr unsigned serviceLingerMilliseconds = 10000;

  static Glib::RefPtr<SVGQuarvelApp> create();
  /// Runs the application with the process's arguments; returns its exit status, which is 1 when
  /// files were given and none of them opened (also for a launch that handed its files to the
  /// running application).
  static int main(int argc, char* argv[]);
  ~SVGQuarvelApp() override;

  /// The open document windows, oldest first.
  std::vector<SVGQuarvel::DocumentWindow*> documentWindows() const;
  /// The document of the active window; none when no document window is active.
  std::shared_ptr<SVGQuarvelDocument> focusedDocument() const;
  AppDelegate* delegate() const { return delegate_.get(); }

  /// Saves the window's document, asking for a file when it has none (or when `saveAs`); calls
  /// `then` with whether it was saved. A file that another program changed since the window read
  /// or saved it is not overwritten without the user's word. Each window has one Save panel at a
  /// time: asking again while it shows brings it forward, and its answer serves both requests.
  void saveDocument(SVGQuarvel::DocumentWindow& window, bool saveAs, std::function<void(bool)> then);
  /// Closes the window, asking first whether to save changes (and, when the document's file
  /// cannot take all of them, whether to save the document in a document file); `then` learns
  /// whether it closed. A window is asked about once: asking again while its question, or the save
  /// that answered it, is under way brings that forward, and its outcome serves both.
  void closeWindowAsking(SVGQuarvel::DocumentWindow& window, std::function<void(bool)> then);
  /// Asks about every window with changes, one after the other, and quits unless the user
  /// cancelled. The windows are looked up at each question, so that one closed meanwhile is
  /// skipped and one opened meanwhile is asked about too.
  void quitAsking();
  /// Shows an error message over `parent`. Every error is logged; a message that shows already is
  /// not shown again, and past `maximumShownErrors` messages showing at a time none is shown.
  /// Control characters in it show as their pictures (its detail keeps its line breaks), and its
  /// detail scrolls past `maximumDetailHeight`.
  void showError(Gtk::Window* parent, const std::string& message, const std::string& detail);
  /// Most pixels the detail of an error message takes on the screen; more of it scrolls.
  static constexpr std::size_t maximumDetailHeight = 400;
  /// Most error messages that show at a time.
  static constexpr std::size_t maximumShownErrors = AppDelegate::maximumWindowsPerRequest;
  /// The heading of the message that refuses a window past the bound of `AppDelegate::refusedWindow`.
  static constexpr const char* noNewWindowHeading = AppDelegate::noNewWindowHeading;

 protected:
  SVGQuarvelApp();
  void on_startup() override;
  void on_activate() override;
  void on_open(const type_vec_files& files, const Glib::ustring& hint) override;
  int on_command_line(const Glib::RefPtr<Gio::ApplicationCommandLine>& commandLine) override;
  bool dbus_register_vfunc(const Glib::RefPtr<Gio::DBus::Connection>& connection,
                           const Glib::ustring& objectPath) override;
  void dbus_unregister_vfunc(const Glib::RefPtr<Gio::DBus::Connection>& connection,
                             const Glib::ustring& objectPath) override;

 private:
  /// The line that ends a launch whose process may have only `limit` files open, too few to run.
  static std::string tooFewFiles(std::size_t limit);
  /// Makes each launch tell, with its command line, whether its working folder could be named (see
  /// `SVGQuarvel::WorkingFolder`).
  void sendWorkingFolderWithLaunches();
  /// Opens a new untitled window; a window that cannot be made is said so in a message (on the
  /// terminal when no window shows). Why it did not open, if it did not.
  std::optional<std::string> openUntitledWindow();
  /// Brings the last window forward, or opens a new untitled one where none is open; why no window
  /// shows, if none does (said in a message too).
  std::optional<std::string> presentSomeWindow();
  void installActions();
  void installMenuBar();
  void presentDocument(const SVGQuarvel::DocumentRecordPtr& record);
  void showOpenPanel();
  /// Brings forward the file panel named `title` (over `parent`, when given) that the toolkit shows.
  void presentFileDialog(const std::string& title, Gtk::Window* parent = nullptr);
  /// Brings forward the dialogs that show over `window`: its questions and its Save panel.
  void presentDialogsOver(Gtk::Window& window);
  void windowClosed(SVGQuarvel::DocumentWindow* window);
  /// The shown window of the document; none once it has closed.
  SVGQuarvel::DocumentWindow* openWindowFor(const SVGQuarvel::DocumentRecordPtr& record) const;
  /// The next question of a quit under way, or the quit itself when no window has changes left.
  void askBeforeQuitting();
  /// Puts away the Save panels of a window that closed; what waited for them learns nothing was saved.
  void cancelSavePanels(const SVGQuarvel::DocumentRecord& record);
  /// Hands `url` to the desktop to show, unless it is handing it over already: a request repeated
  /// while the desktop has not answered adds nothing (a browser started for each would flood the
  /// session).
  void showURL(const std::string& url);
  void noteNewRecentDocument(const std::filesystem::path& path);
  void refreshRecentMenu();
  void openRecent(const std::filesystem::path& path);
  /// Whether a command that opens one window (New, a sample drawing, a recent file) must not,
  /// because the document windows open and opening are at the bound; says so to the user then.
  bool refuseWindow();
  SVGQuarvel::DocumentWindow* windowFor(const SVGQuarvel::DocumentRecordPtr& record) const;
  /// Runs `write` and reports its failure; a file another program changed asks whether to
  /// overwrite it (then runs `write` again with `overwrite` set) or keep it.
  /// Asks whether the file at `url` may be replaced; `replace` runs when the user says so, else
  /// `finish(false)`.
  void askToReplace(SVGQuarvel::DocumentWindow& window, const std::filesystem::path& url,
                    const std::function<void()>& replace, const std::function<void(bool)>& finish);
  /// Saves with `write`, given the change the user agreed to overwrite (none at first); a file
  /// another program changed is asked about, and Overwrite saves again with that change.
  void runSave(SVGQuarvel::DocumentWindow& window,
               const std::function<void(const std::optional<std::string>& approvedChange)>& write,
               const std::optional<std::string>& approvedChange, const std::function<void(bool)>& finish);
  Gtk::MessageDialog* addDialog(std::unique_ptr<Gtk::MessageDialog> dialog);
  void removeDialog(Gtk::MessageDialog* dialog);
  /// Gives `dialog` the text `detail` below its heading, in a pane that scrolls past
  /// `maximumDetailHeight` (the dialog's own label has no bound), and lets the heading and the
  /// detail break within long words: however long its lines and however many, the message fits
  /// on the screen with its buttons.
  static void setBoundedDetail(Gtk::MessageDialog& dialog, const std::string& detail);

  std::shared_ptr<HighlightJS> hljs_;
  std::unique_ptr<AppDelegate> delegate_;
  std::vector<std::unique_ptr<SVGQuarvel::DocumentWindow>> windows_;
  /// A Save panel that shows over a window, and what waits for its answer.
  struct SavePanel {
    std::weak_ptr<SVGQuarvel::DocumentRecord> record;
    Glib::RefPtr<Gtk::FileChooserNative> chooser;
    std::vector<std::function<void(bool)>> waiting;
  };
  /// A window whose close question, or the save that answered it, is under way, and what waits
  /// for whether it closed.
  struct PendingClose {
    std::weak_ptr<SVGQuarvel::DocumentRecord> record;
    std::vector<std::function<void(bool)>> waiting;
  };
  std::vector<std::unique_ptr<PendingClose>> pendingCloses_;
  /// A question whether to overwrite a window's file that another program changed, and what waits
  /// for the save it decides: a window asks it once, and saves asked for meanwhile wait for it.
  struct ChangedFileQuestion {
    std::weak_ptr<SVGQuarvel::DocumentRecord> record;
    /// The file asked about: the window's file when the question was put.
    std::optional<std::filesystem::path> file;
    Gtk::MessageDialog* dialog = nullptr;
    std::vector<std::function<void(bool)>> waiting;
  };
  std::vector<std::unique_ptr<ChangedFileQuestion>> changedFileQuestions_;
  Glib::RefPtr<Gtk::FileChooserNative> openPanel_;
  std::vector<std::unique_ptr<SavePanel>> savePanels_;
  bool quitting_ = false;
  /// The addresses handed to the desktop that it has not yet answered for.
  std::set<std::string> showingURLs_;
  std::vector<std::unique_ptr<Gtk::MessageDialog>> dialogs_;
  int launchStatus_ = 0;
  /// Too few files could be opened to start: the launch ends without a window.
  bool notStarted_ = false;
  Glib::RefPtr<Gtk::RecentManager> recentManager_;
  Glib::RefPtr<Gio::Menu> recentMenu_;
  sigc::connection recentChanged_;
};
