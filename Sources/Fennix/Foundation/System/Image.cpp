#include "Fennix/Foundation/System/Image.h"

#include "Fennix/Foundation/System/Bundle.h"

std::optional<NSImage> NSImage::applicationIconImage() {
  auto identifier = NSBundle::main().bundleIdentifier();
  if (identifier.empty()) return std::nullopt;
  return NSImage::named(std::move(identifier));
}
