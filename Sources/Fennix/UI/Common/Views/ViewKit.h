// Shared definitions of the view kit: the starting frame of views made without one, the
// identity text of view descriptions, and undo grouping.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Platform/Geometry.h"

namespace Fennix {

/// The rectangle at the origin, 128 by 128 (`CGRect.initialFrame`).
inline const CGRect& initialFrame() {
  static const CGRect frame(0, 0, 128, 128);
  return frame;
}

/// The unqualified type name, ":" and the identity of the object at `address`: "0x" and nine
/// digits when its sixteen-digit form starts with seven zeros, else "ObjectIdentifier(0x" and all
/// sixteen digits.
std::string descriptionPrefix(std::string_view typeName, const void* address);

/// Runs `body` between the undo manager's begin and end of a group, so that all changes made in
/// it undo as one step; without an undo manager it just runs `body`.
template <typename UndoManager, typename Body>
auto inUndoGrouping(UndoManager* undoManager, Body&& body) -> decltype(body()) {
  if (!undoManager) return body();
  struct Group {
    UndoManager* manager;
    ~Group() { manager->endUndoGrouping(); }
  };
  undoManager->beginUndoGrouping();
  Group group{undoManager};
  return body();
}

}  // namespace Fennix

/// A copy of the initial frame, made once.
inline const CGRect& QVInitialSize() {
  static const CGRect size = Fennix::initialFrame();
  return size;
}
