// A text view that acts as a logger: lines up to level log are appended at its end. Use it on
// the main thread, like any view.
#pragma once

#include <gtkmm/textview.h>

#include <string>

#include "Fennix/Foundation/Text/AttributedString.h"
#include "Fennix/console/Logger.h"

/// Appends text at the end of a text view, even a read-only one (it stays read-only), and
/// scrolls it into view.
void qvAdd(Gtk::TextView& view, const std::string& text);
void qvAdd(Gtk::TextView& view, const AttributedString& text);

class QvTextViewLogger : public Gtk::TextView, public Logger {
 public:
  QvTextViewLogger();

  /// Always log: info and trace lines are ignored.
  LogLevel logLevel() const override;
  /// "ERROR: " or "WARN:  " for those levels, the message, a blank and the text of each value
  /// ("<nil>" when absent), and a line feed.
  void primaryLog(LogLevel level, const LogMessage& message, LogValues values) override;
  std::string description() const override { return "<QvTextViewLogger>"; }
};
