// Closing a window with changes, and quitting, which asks about each such window in turn.
#include <algorithm>

#include "SVGQuarvel/App/GTK/SVGQuarvelApp.h"

using SVGQuarvel::DocumentWindow;

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
