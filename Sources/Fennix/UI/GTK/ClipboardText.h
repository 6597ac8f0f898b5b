// Reading the clipboard's text. Text another program holds on an X display is read on a
// connection of this process's own, off the main thread: the toolkit's own reader takes the pieces
// of a large text on a window that other transfers share, and with some owners it ends early with
// part of the text or none, or waits for ever (the owner then answers no one else either).
#pragma once

#include <gdkmm/clipboard.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace Fennix {

struct ClipboardText {
  /// The text (UTF-8 as the owner sent it); none when the clipboard held no text or it did not
  /// arrive whole.
  std::optional<std::string> text;
  /// Why a text that was offered did not arrive, in words for the user; empty when there was none.
  std::string failure;
};

/// Reads the clipboard's text, and hands it to `then` on the main loop. A text of more than
/// `maximumBytes` is not read past them; an owner that sends nothing for `quietSeconds` is given
/// up on. Either way `failure` says so.
void readClipboardText(const Glib::RefPtr<Gdk::Clipboard>& clipboard, std::size_t maximumBytes,
                       std::function<void(ClipboardText)> then, double quietSeconds = 10);

}  // namespace Fennix
