// Images by name: the portable name of an image the toolkit looks up in its icon theme.
#pragma once

#include <optional>
#include <string>

/// An image known by its icon name; the toolkit layer draws it.
struct NSImage {
  std::string name;

  static NSImage named(std::string name) { return NSImage{std::move(name)}; }
  /// The application's icon: the image named by the application's identifier, which is also the
  /// name its icon is installed under. None when the application has no identifier.
  static std::optional<NSImage> applicationIconImage();

  bool operator==(const NSImage&) const = default;
};
