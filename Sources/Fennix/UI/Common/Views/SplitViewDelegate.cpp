#include "Fennix/UI/Common/Views/SplitViewDelegate.h"

namespace Fennix {
namespace {

std::shared_ptr<SplitViewKit>& installedKit() {
  static std::shared_ptr<SplitViewKit> kit;
  return kit;
}

}  // namespace

void setSplitViewKit(std::shared_ptr<SplitViewKit> kit) { installedKit() = std::move(kit); }

SplitViewKit* splitViewKit() { return installedKit().get(); }

}  // namespace Fennix
