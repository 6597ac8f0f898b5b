#include "SyntaxEditor/SyntaxEditor.h"

#include <algorithm>

#include "Highlight/HighlightJS.h"

const SyntaxEditor::Flags SyntaxEditor::Flags::editable{1};
const SyntaxEditor::Flags SyntaxEditor::Flags::selectable{2};
const SyntaxEditor::Flags SyntaxEditor::Flags::smartIndent{4};
const SyntaxEditor::Flags SyntaxEditor::Flags::defaultViewerFlags{2};
const SyntaxEditor::Flags SyntaxEditor::Flags::defaultEditorFlags{7};

#define SYNTAX_EDITOR_LANGUAGE(name) const SyntaxEditor::Language SyntaxEditor::Language::name{#name};
SYNTAX_EDITOR_LANGUAGE(accesslog)
SYNTAX_EDITOR_LANGUAGE(actionscript)
SYNTAX_EDITOR_LANGUAGE(ada)
SYNTAX_EDITOR_LANGUAGE(apache)
SYNTAX_EDITOR_LANGUAGE(applescript)
SYNTAX_EDITOR_LANGUAGE(bash)
SYNTAX_EDITOR_LANGUAGE(basic)
SYNTAX_EDITOR_LANGUAGE(brainfuck)
SYNTAX_EDITOR_LANGUAGE(c)
SYNTAX_EDITOR_LANGUAGE(cpp)
SYNTAX_EDITOR_LANGUAGE(cs)
SYNTAX_EDITOR_LANGUAGE(css)
SYNTAX_EDITOR_LANGUAGE(diff)
SYNTAX_EDITOR_LANGUAGE(dockerfile)
SYNTAX_EDITOR_LANGUAGE(go)
SYNTAX_EDITOR_LANGUAGE(http)
SYNTAX_EDITOR_LANGUAGE(java)
SYNTAX_EDITOR_LANGUAGE(javascript)
SYNTAX_EDITOR_LANGUAGE(json)
SYNTAX_EDITOR_LANGUAGE(lua)
SYNTAX_EDITOR_LANGUAGE(markdown)
SYNTAX_EDITOR_LANGUAGE(makefile)
SYNTAX_EDITOR_LANGUAGE(nginx)
SYNTAX_EDITOR_LANGUAGE(objectivec)
SYNTAX_EDITOR_LANGUAGE(pgsql)
SYNTAX_EDITOR_LANGUAGE(php)
SYNTAX_EDITOR_LANGUAGE(python)
SYNTAX_EDITOR_LANGUAGE(ruby)
SYNTAX_EDITOR_LANGUAGE(rust)
SYNTAX_EDITOR_LANGUAGE(shell)
SYNTAX_EDITOR_LANGUAGE(smalltalk)
SYNTAX_EDITOR_LANGUAGE(sql)
SYNTAX_EDITOR_LANGUAGE(swift)
SYNTAX_EDITOR_LANGUAGE(tcl)
SYNTAX_EDITOR_LANGUAGE(tex)
SYNTAX_EDITOR_LANGUAGE(twig)
SYNTAX_EDITOR_LANGUAGE(typescript)
SYNTAX_EDITOR_LANGUAGE(vbnet)
SYNTAX_EDITOR_LANGUAGE(vbscript)
SYNTAX_EDITOR_LANGUAGE(xml)
SYNTAX_EDITOR_LANGUAGE(yaml)
#undef SYNTAX_EDITOR_LANGUAGE

SyntaxEditor::SyntaxEditor(Binding<std::string> source_, std::optional<Language> language_, HighlightJSThemePtr theme_,
                           std::optional<Binding<double>> fontSize_, Flags flags_, IndentStyle indentStyle_,
                           std::optional<AutoPairs> autoPairs_, std::optional<NSSize> inset_,
                           std::vector<PasteboardType> acceptableDragTypes_)
    : source(std::move(source_)),
      fontSize(std::move(fontSize_)),
      language(std::move(language_)),
      theme(theme_ ? std::move(theme_) : HighlightJSTheme::default_()),
      flags(flags_),
      indentStyle(indentStyle_),
      inset(inset_.value_or(NSSize{8, 8})),
      acceptableDragTypes(std::move(acceptableDragTypes_)) {
  if (autoPairs_) {
    autoPairs = std::move(*autoPairs_);
  } else if (language) {
    const auto& defaults = defaultAutoPairs();
    if (auto found = defaults.find(*language); found != defaults.end()) autoPairs = found->second;
  }
}

SyntaxEditor SyntaxEditor::viewer(std::string source, std::optional<Language> language, HighlightJSThemePtr theme,
                                  std::optional<Binding<double>> fontSize, Flags flags, IndentStyle indentStyle,
                                  std::optional<AutoPairs> autoPairs, std::optional<NSSize> inset) {
  return SyntaxEditor(Binding<std::string>::constant(std::move(source)), std::move(language), std::move(theme),
                      std::move(fontSize), flags, indentStyle, std::move(autoPairs), inset, {});
}

const std::vector<HighlightJSThemePtr>& SyntaxEditor::availableThemes() {
  static const std::vector<HighlightJSThemePtr> themes{HighlightJSTheme::default_(), HighlightJSTheme::xcode(),
                                                       HighlightJSTheme::vs2015()};
  return themes;
}

const std::vector<SyntaxEditor::Language>& SyntaxEditor::availableLanguages() {
  static const std::vector<Language> languages = [] {
    std::vector<Language> list;
    if (const auto& highlighter = HighlightJS::shared()) {
      for (const std::string& name : highlighter->languages()) list.emplace_back(name);
    }
    std::sort(list.begin(), list.end());
    return list;
  }();
  return languages;
}

const SyntaxEditor::AutoPairs& SyntaxEditor::cStyleAutoPairs() {
  static const AutoPairs pairs{{"(", ")"}, {"[", "]"}, {"{", "}"}, {"\"", "\""}, {"'", "'"}, {"`", "`"}};
  return pairs;
}

const SyntaxEditor::AutoPairs& SyntaxEditor::xmlStyleAutoPairs() {
  static const AutoPairs pairs{{"<", ">"}, {"\"", "\""}, {"'", "'"}};
  return pairs;
}

const std::map<SyntaxEditor::Language, SyntaxEditor::AutoPairs>& SyntaxEditor::defaultAutoPairs() {
  static const std::map<Language, AutoPairs> table{
      {Language::c, cStyleAutoPairs()},
      {Language::cpp, cStyleAutoPairs()},
      {Language::objectivec, cStyleAutoPairs()},
      {Language::swift, cStyleAutoPairs()},
      {Language::java, cStyleAutoPairs()},
      {Language::javascript, cStyleAutoPairs()},
      {Language::xml, xmlStyleAutoPairs()},
      {Language::python, AutoPairs{{"(", ")"}, {"[", "]"}, {"\"", "\""}, {"'", "'"}, {"`", "`"}}},
  };
  return table;
}
