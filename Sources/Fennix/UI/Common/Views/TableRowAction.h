// An action offered for a row of a table: a titled button with a style, and what it does.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Fennix/Foundation/BaseTypes/Emptiable.h"
#include "Fennix/Foundation/Text/Color.h"

class NSTableViewRowAction : public QvWith<NSTableViewRowAction>,
                             public std::enable_shared_from_this<NSTableViewRowAction> {
 public:
  enum class Style { regular = 0, destructive = 1 };
  /// Receives the action and the row it was chosen for.
  using Handler = std::function<void(NSTableViewRowAction&, long row)>;

  static std::shared_ptr<NSTableViewRowAction> make(Style style, std::string title, Handler handler) {
    return std::shared_ptr<NSTableViewRowAction>(new NSTableViewRowAction(style, std::move(title), std::move(handler)));
  }

  Style style() const { return style_; }
  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  /// The button's colour; none for the style's own.
  const std::optional<NSColor>& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(std::optional<NSColor> color) { backgroundColor_ = std::move(color); }

  /// Runs the handler for `row`.
  void perform(long row) {
    if (handler_) handler_(*this, row);
  }

 private:
  NSTableViewRowAction(Style style, std::string title, Handler handler)
      : style_(style), title_(std::move(title)), handler_(std::move(handler)) {}

  Style style_;
  std::string title_;
  std::optional<NSColor> backgroundColor_;
  Handler handler_;
};
