#include "Fennix/UI/Common/Views/ScreenIdentifier.h"

#include <charconv>

#include "Fennix/UI/Common/Views/FactoryLogic.h"

namespace Fennix {

std::string screenIdentifier(const ScreenDescription& screen) {
  if (screen.isMain) return "MAIN";
  if (screen.displayID) {
    const long long id = *screen.displayID;
    // The magnitude as unsigned, so that the smallest number has one too.
    const unsigned long long magnitude = id < 0 ? 0ULL - static_cast<unsigned long long>(id) : id;
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, 16);
    return std::string("sid") + (id < 0 ? "-" : "") + std::string(buffer, result.ptr);
  }
  return "sz" + doubleText(screen.width) + "x" + doubleText(screen.height);
}

bool PreviewPanelState::toggle() {
  if (exists_ && visible_) {
    visible_ = false;
  } else {
    exists_ = true;
    visible_ = true;
  }
  return visible_;
}

}  // namespace Fennix
