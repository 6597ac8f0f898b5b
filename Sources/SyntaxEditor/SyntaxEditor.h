// The code editor: the value that describes an editor of source text (the edited text through a
// binding, the highlight language, theme, font size, behaviour flags, indentation and auto-pairs)
// and the vocabulary types of the editor.
#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "Platform/Observable.h"
#include "Highlight/HighlightJSTheme.h"

/// A size of the text view's geometry (width and height in points).
struct NSSize {
  double width = 0;
  double height = 0;
  bool operator==(const NSSize& other) const = default;
};

/// A string-backed identifier: ordered and hashed by its raw value, described by it, and coded
/// (JSON) as the bare string.
template <typename Derived>
struct TypedString {
  std::string rawValue;

  const std::string& description() const { return rawValue; }
  const std::string& id() const { return rawValue; }
  friend bool operator==(const Derived& a, const Derived& b) { return a.rawValue == b.rawValue; }
  friend auto operator<=>(const Derived& a, const Derived& b) { return a.rawValue <=> b.rawValue; }

  // JSON coding, found by argument-dependent lookup: any string decodes; any other JSON value
  // fails with the JSON library's type error.
  template <typename Json>
  friend void to_json(Json& json, const Derived& value) {
    json = value.rawValue;
  }
  template <typename Json>
  friend void from_json(const Json& json, Derived& value) {
    value.rawValue = json.template get<std::string>();
  }
};

class SyntaxEditor {
 public:
  /// Read and write access to a value that lives elsewhere (a published property, a variable).
  template <typename T>
  class Binding {
   public:
    Binding(std::function<T()> get, std::function<void(T)> set) : get_(std::move(get)), set_(std::move(set)) {}

    /// A binding that always reads `value` and ignores writes.
    static Binding constant(T value) {
      return Binding([value] { return value; }, [](T) {});
    }
    /// A binding over a published property; the property must outlive the binding.
    static Binding fromPublished(Published<T>& property) {
      return Binding([&property] { return property.get(); }, [&property](T value) { property.set(std::move(value)); });
    }
    /// A binding over a plain variable; the variable must outlive the binding.
    static Binding fromVariable(T& variable) {
      return Binding([&variable] { return variable; }, [&variable](T value) { variable = std::move(value); });
    }

    T get() const { return get_(); }
    void set(T value) const { set_(std::move(value)); }

   private:
    std::function<T()> get_;
    std::function<void(T)> set_;
  };

  /// What the editor lets a user do.
  struct Flags {
    std::uint8_t rawValue = 0;

    static const Flags editable;
    static const Flags selectable;
    static const Flags smartIndent;
    static const Flags defaultViewerFlags;
    static const Flags defaultEditorFlags;

    bool contains(Flags other) const { return (rawValue & other.rawValue) == other.rawValue; }
    Flags operator|(Flags other) const { return {std::uint8_t(rawValue | other.rawValue)}; }
    bool operator==(const Flags& other) const = default;
  };

  /// What the Tab key inserts: a number of spaces, or a tab character.
  struct SoftTab {
    int width = 4;
    bool operator==(const SoftTab& other) const = default;
  };
  struct SystemTab {
    bool operator==(const SystemTab&) const = default;
  };
  using IndentStyle = std::variant<SoftTab, SystemTab>;
  static IndentStyle softTab(int width) { return SoftTab{width}; }
  static IndentStyle system() { return SystemTab{}; }

  /// A highlight.js language name; any string is a valid language.
  struct Language : TypedString<Language> {
    Language() = default;
    explicit Language(std::string name) : TypedString<Language>{std::move(name)} {}

    static const Language accesslog, actionscript, ada, apache, applescript, bash, basic, brainfuck, c, cpp, cs,
        css, diff, dockerfile, go, http, java, javascript, json, lua, markdown, makefile, nginx, objectivec, pgsql,
        php, python, ruby, rust, shell, smalltalk, sql, swift, tcl, tex, twig, typescript, vbnet, vbscript, xml,
        yaml;
  };

  using AutoPairs = std::map<std::string, std::string>;
  /// Drag types the text view accepts, as MIME types ("image/svg+xml"). There is no initialiser
  /// taking uniform type identifiers: those live in a layer above this module, whose callers
  /// give a type's MIME type here.
  using PasteboardType = std::string;

  /// An absent `autoPairs` becomes the language's default pairs (none for an absent language or
  /// one without an entry); an absent `inset` becomes 8 by 8.
  SyntaxEditor(Binding<std::string> source, std::optional<Language> language, HighlightJSThemePtr theme,
               std::optional<Binding<double>> fontSize, Flags flags, IndentStyle indentStyle,
               std::optional<AutoPairs> autoPairs = std::nullopt, std::optional<NSSize> inset = std::nullopt,
               std::vector<PasteboardType> acceptableDragTypes = {});
  /// A viewer of fixed text: a constant binding and no drag types.
  static SyntaxEditor viewer(std::string source, std::optional<Language> language, HighlightJSThemePtr theme,
                             std::optional<Binding<double>> fontSize, Flags flags, IndentStyle indentStyle,
                             std::optional<AutoPairs> autoPairs = std::nullopt,
                             std::optional<NSSize> inset = std::nullopt);

  Binding<std::string> source;
  std::optional<Binding<double>> fontSize;
  std::optional<Language> language;
  HighlightJSThemePtr theme;
  Flags flags;
  IndentStyle indentStyle;
  AutoPairs autoPairs;
  NSSize inset;
  std::vector<PasteboardType> acceptableDragTypes;

  /// The built-in themes.
  static const std::vector<HighlightJSThemePtr>& availableThemes();
  /// The shared highlighter's languages, sorted; taken at first access (empty when there is no
  /// highlighter or it had not listed its languages yet).
  static const std::vector<Language>& availableLanguages();
  static const AutoPairs& cStyleAutoPairs();
  static const AutoPairs& xmlStyleAutoPairs();
  static const std::map<Language, AutoPairs>& defaultAutoPairs();
};

template <>
struct std::hash<SyntaxEditor::Language> {
  std::size_t operator()(const SyntaxEditor::Language& language) const noexcept {
    return std::hash<std::string>()(language.rawValue);
  }
};
