// Helpers of the editor tests: UTF-16 literals to UTF-8, a storage whose inner text can be
// styled without passing through its hooks, and a recorder of processed edits.
#pragma once

#include <string>
#include <vector>

#include "HighlightTests/HighlightTestSupport.h"
#include "SyntaxEditor/TextStorage/HighlightTextStorage.h"

namespace EditorTestSupport {

using HighlightTestSupport::runMainLoopUntil;
using HighlightTestSupport::useBuildResources;

/// Every text view asks for the shared highlighter: point it at the build's resources before
/// any test runs.
inline const bool buildResourcesInUse = (useBuildResources(), true);

/// A highlighting storage whose inner text tests may style directly, as a stale highlight would
/// have left it.
class MarkableStorage : public HighlightTextStorage {
 public:
  MarkableStorage() : HighlightTextStorage(std::nullopt) {}
  void markInner(const TextAttributes& attributes) {
    if (storage->length() > 0) storage->setAttributes(attributes, {0, storage->length()});
  }
};

/// Attributes no theme uses.
inline TextAttributes marker() {
  TextAttributes attributes;
  attributes.foregroundColor = NSColor(0.01, 0.02, 0.03, 1);
  return attributes;
}

/// Keeps every processed edit of a storage.
struct EditRecorder {
  explicit EditRecorder(NSTextStorage& observed) : storage(observed) {
    token = storage.addObserver([this](NSTextStorage&, const NSTextStorageEdit& edit) { edits.push_back(edit); });
  }
  ~EditRecorder() { storage.removeObserver(token); }
  EditRecorder(const EditRecorder&) = delete;
  EditRecorder& operator=(const EditRecorder&) = delete;

  std::vector<NSRange> attributeEdits() const {
    std::vector<NSRange> ranges;
    for (const auto& edit : edits) {
      if (edit.editedMask == NSTextStorageEditedAttributes) ranges.push_back(edit.editedRange);
    }
    return ranges;
  }
  NSTextStorage& storage;
  std::size_t token = 0;
  std::vector<NSTextStorageEdit> edits;
};

/// Whether every unit of `range` carries `attributes`.
inline bool carries(const NSTextStorage& storage, NSRange range, const TextAttributes& attributes) {
  for (std::size_t i = range.location; i < range.upperBound(); ++i) {
    if (!(storage.attributes(i) == attributes)) return false;
  }
  return true;
}

}  // namespace EditorTestSupport
