#include "SVGQuarvel/Views/EditorPanes.h"

#include <algorithm>

namespace SVGQuarvelViews {

SyntaxEditor::IndentStyle codeIndentStyle(const SVGQuarvelConfiguration& config) {
  if (config.indentUsing == SVGQuarvelConfiguration::IndentType::tabs) return SyntaxEditor::system();
  return SyntaxEditor::softTab(
      static_cast<int>(std::clamp<std::int64_t>(config.indent, 0, SVGQuarvelConfiguration::maximumIndent)));
}

}  // namespace SVGQuarvelViews
