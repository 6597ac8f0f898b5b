#include "Fennix/UI/GTK/TextViewLogger.h"

#include "Fennix/UI/GTK/TextBufferAttributes.h"

namespace {

// Makes the view editable for the length of `insert`, then puts it back as it was.
template <typename Insert>
void appendAtEnd(Gtk::TextView& view, Insert&& insert) {
  const bool wasEditable = view.get_editable();
  if (!wasEditable) view.set_editable(true);
  auto buffer = view.get_buffer();
  buffer->place_cursor(buffer->end());
  insert(*buffer);
  view.scroll_to(buffer->get_insert());
  if (!wasEditable) view.set_editable(false);
}

}  // namespace

void qvAdd(Gtk::TextView& view, const std::string& text) {
  appendAtEnd(view, [&](Gtk::TextBuffer& buffer) { buffer.insert_at_cursor(text); });
}

void qvAdd(Gtk::TextView& view, const AttributedString& text) {
  appendAtEnd(view, [&](Gtk::TextBuffer& buffer) {
    const int start = buffer.get_char_count();
    buffer.insert_at_cursor(text.string());
    GTKText::applyAttributes(buffer, text, start);
  });
}

QvTextViewLogger::QvTextViewLogger() = default;

LogLevel QvTextViewLogger::logLevel() const { return LogLevel::log; }

void QvTextViewLogger::primaryLog(LogLevel level, const LogMessage& message, LogValues values) {
  if (level > LogLevel::log) return;
  std::string line;
  if (level == LogLevel::error) line = "ERROR: ";
  if (level == LogLevel::warn) line = "WARN:  ";
  line += message();
  for (const LogValue& value : values) line += " " + value.description();
  line += "\n";
  qvAdd(*this, line);
}
