// The loads asked of a web view that follows only them, whose navigation its engine has yet to
// ask about. The engine asks about every load, in the order they were asked, also those a later
// load replaced before they began; a navigation it asks about that none of them accounts for is
// the page's own.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace QuarvelUtilities {

class AwaitedLoads {
 public:
  /// How many runs of loads of one address are kept (see `asked`).
  static constexpr std::size_t maximumRuns = 64;

  /// A load of `address` was asked. Loads of one address in a row are one run, however many: a
  /// preview that reloads its page at each key typed keeps one run, whatever the engine still
  /// has to ask. Runs beyond `maximumRuns` forget the oldest.
  void asked(std::string address);
  /// Whether a navigation to `address` is one of the loads awaited: it is then no longer awaited,
  /// nor are those of other addresses asked before it, which it replaced.
  bool take(std::string_view address);

  std::size_t runs() const { return runs_.size(); }
  bool empty() const { return runs_.empty(); }

 private:
  struct Run {
    std::string address;
    std::size_t loads = 0;
  };
  std::deque<Run> runs_;
};

}  // namespace QuarvelUtilities
