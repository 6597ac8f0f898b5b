// What the two editor panes take from the document's settings.
#pragma once

#include "SVGQuarvel/Model/SVGQuarvelConfiguration.h"
#include "SyntaxEditor/SyntaxEditor.h"

namespace SVGQuarvelViews {

/// Soft tabs of the indent width for spaces (kept within 0...maximumIndent), the tab character
/// for tabs.
SyntaxEditor::IndentStyle codeIndentStyle(const SVGQuarvelConfiguration& config);

}  // namespace SVGQuarvelViews
