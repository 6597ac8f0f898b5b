#include "QuarvelUtilities/AwaitedLoads.h"

#include <algorithm>
#include <utility>

namespace QuarvelUtilities {

void AwaitedLoads::asked(std::string address) {
  if (!runs_.empty() && runs_.back().address == address) {
    ++runs_.back().loads;
    return;
  }
  if (runs_.size() == maximumRuns) runs_.pop_front();
  runs_.push_back(Run{std::move(address), 1});
}

bool AwaitedLoads::take(std::string_view address) {
  const auto found = std::find_if(runs_.begin(), runs_.end(), [address](const Run& run) { return run.address == address; });
  if (found == runs_.end()) return false;
  const auto taken = runs_.erase(runs_.begin(), found);
  if (--taken->loads == 0) runs_.pop_front();
  return true;
}

}  // namespace QuarvelUtilities
