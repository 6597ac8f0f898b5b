// Saving a window's document: its Save panel, and the questions before a file is replaced.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "Fennix/console/Console.h"
#include "SVGQuarvel/App/GTK/FileFilters.h"
#include "SVGQuarvel/App/GTK/SVGQuarvelApp.h"

using SVGQuarvel::DocumentController;
using SVGQuarvel::DocumentWindow;
using SVGQuarvel::fileFilter;
using SVGQuarvel::typeOfFilter;

void SVGQuarvelApp::saveDocument(DocumentWindow& window, bool saveAs, std::function<void(bool)> then) {
  auto record = window.record();
  auto finish = [then](bool saved) {
    if (then) then(saved);
  };
  if (!saveAs && record->fileURL()) {
    runSave(
        window,
        [record](const std::optional<std::string>& approved) {
          DocumentController::shared().save(*record, approved.has_value(), approved);
        },
        std::nullopt, finish);
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
  for (const auto& type : writable) chooser->add_filter(fileFilter(type.localizedDescription(), {type}));
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
    // The chosen filter decides the type of a name without the extension of a writable type.
    const std::filesystem::path typed = file->get_path();
    const auto url = DocumentController::nameForSaving(
        typed, typeOfFilter(panelChooser->get_filter(), writable).value_or(writable.front()));
    const bool extended = url != typed;
    auto save = [this, kept, url, done] {
      // Looked up again: the window may have closed while the question below showed.
      auto* target = openWindowFor(kept);
      if (target == nullptr) return done(false);
      runSave(
          *target,
          [kept, url](const std::optional<std::string>& approved) {
            // An answer about another program's change is one about the name chosen: the document
            // goes to that name.
            DocumentController::shared().saveAs(*kept, url, DocumentController::typeForSaving(url),
                                                approved.has_value(), approved);
          },
          std::nullopt, done);
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
  setBoundedDetail(*dialog, "It is in the folder \u201c" + SVGQuarvel::displayFileName(url.parent_path()) +
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

void SVGQuarvelApp::runSave(DocumentWindow& window,
                            const std::function<void(const std::optional<std::string>& approvedChange)>& write,
                            const std::optional<std::string>& approvedChange, const std::function<void(bool)>& finish) {
  auto record = window.record();
  try {
    write(approvedChange);
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
    // Named as the window is, unless the name written is no longer that file (a link chosen with
    // Save As that leads elsewhere now, or another file under the name chosen).
    std::error_code unknown;
    const auto& own = record->fileURL();
    const bool windowsFile = error.file().empty() ||
                             (own && (*own == error.file() || std::filesystem::equivalent(*own, error.file(), unknown)));
    const std::string heading = "The file \u201c" +
                                (windowsFile ? record->displayName() : SVGQuarvel::displayFileName(error.file())) +
                                "\u201d has been changed by another application.";
    console::error(heading, std::string(error.what()));
    auto* dialog = addDialog(std::make_unique<Gtk::MessageDialog>(window, heading, false, Gtk::MessageType::WARNING,
                                                                  Gtk::ButtonsType::NONE, true));
    dialog->set_title(heading);
    setBoundedDetail(*dialog, (error.detail().empty() ? std::string() : error.detail() + "\n\n") +
                                  "Do you want to overwrite it with the version in this window, or keep the other "
                                  "version? If you keep it, the changes in this window stay unsaved.");
    dialog->add_button("Keep Other Version", Gtk::ResponseType::NO);
    dialog->add_button("Overwrite", Gtk::ResponseType::YES);
    dialog->set_default_response(Gtk::ResponseType::NO);
    auto question = std::make_unique<ChangedFileQuestion>();
    question->record = record;
    question->file = record->fileURL();
    question->dialog = dialog;
    question->waiting.push_back(finish);
    dialog->signal_response().connect([this, dialog, asked = question.get(), write, change = error.detail()](int response) {
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
      runSave(*shown, write, change, done);
    });
    changedFileQuestions_.push_back(std::move(question));
    dialog->show();
  } catch (const std::exception& error) {
    showError(&window, "The document \u201c" + record->displayName() + "\u201d could not be saved.", error.what());
    finish(false);
  }
}
