#include "SVGQuarvel/Views/ExportSettings.h"

namespace SVGQuarvelViews {

namespace {

using Config = SVGQuarvelConfiguration;
using Kind = SettingsControl::Kind;

SettingsControl toggle(std::string label, std::string title, bool Config::*field) {
  SettingsControl control;
  control.kind = Kind::toggle;
  control.label = std::move(label);
  control.title = std::move(title);
  control.isOn = [field](const Config& config) { return config.*field; };
  control.setOn = [field](Config& config, bool on) { config.*field = on; };
  return control;
}

SettingsControl number(std::string label, std::string title, std::string placeholder, std::int64_t upperBound,
                       std::int64_t Config::*field) {
  SettingsControl control;
  control.kind = Kind::number;
  control.label = std::move(label);
  control.title = std::move(title);
  control.placeholder = std::move(placeholder);
  control.upperBound = upperBound;
  control.number = [field](const Config& config) { return config.*field; };
  control.setNumber = [field](Config& config, std::int64_t value) { config.*field = value; };
  return control;
}

// A picker over an enumeration; `order` lists the cases in the order of `items`.
template <typename Enumeration>
SettingsControl picker(std::string label, std::vector<std::string> items, std::vector<Enumeration> order,
                       Enumeration Config::*field) {
  SettingsControl control;
  control.kind = Kind::picker;
  control.title = label;
  control.label = std::move(label);
  control.items = std::move(items);
  control.selectedItem = [order, field](const Config& config) {
    for (std::size_t index = 0; index < order.size(); ++index) {
      if (order[index] == config.*field) return index;
    }
    return std::size_t(0);
  };
  control.selectItem = [order, field](Config& config, std::size_t index) {
    if (index < order.size()) config.*field = order[index];
  };
  return control;
}

std::vector<SettingsSection> makeSections() {
  SettingsControl rootName;
  rootName.kind = Kind::text;
  rootName.label = "Generated Type of Root View";
  rootName.title = "Generated Type of Root View";
  rootName.placeholder = "ContentView";
  rootName.text = [](const Config& config) { return config.rootViewName; };
  rootName.setText = [](Config& config, std::string text) { config.rootViewName = std::move(text); };

  return {
      {"Top Level View",
       {rootName, toggle("Preview Provider", "Generate Preview Provider", &Config::previewProvider),
        toggle("SwiftUI Import", "Generate SwiftUI Import", &Config::imports)}},
      {"Code Generation",
       {toggle("SVG in Comment", "SVG in Comment", &Config::prefixSVG),
        toggle("Info Comments", "Info Comments", &Config::infoComments),
        picker<Config::InitType>("Initialization Style", {".init()", "Color()"},
                                 {Config::InitType::autoInit, Config::InitType::type}, &Config::initType),
        picker<Config::PositioningStyle>("Positioning Style", {".padding()", ".offset()"},
                                         {Config::PositioningStyle::padding, Config::PositioningStyle::offset},
                                         &Config::positioningType),
        toggle("Newline after Path.close()", "Newline after Path.close()", &Config::newlineAfterClosePath),
        toggle("Use Hex Colors", "Use hex values when creating colors", &Config::useHexColor),
        number("Max Fraction Digits", "Fraction Digits Step", "4", 13, &Config::maximumFractionDigits)}},
      {"Indent",
       {picker<Config::IndentType>("Indent Using", {"Spaces", "Tabs"},
                                   {Config::IndentType::spaces, Config::IndentType::tabs}, &Config::indentUsing),
        number("Indent", "Indent Step", "0", 9, &Config::indent),
        toggle("Indent Empty Lines", "Indent Empty Lines", &Config::indentEmptyLines)}},
  };
}

}  // namespace

std::optional<std::int64_t> SettingsControl::committedNumber(std::string_view typed) const {
  const auto value = QuarvelUtilities::parseWholeNumber(typed);
  if (!value) return std::nullopt;
  // Typed values keep to the stepper's range, as the generator expects.
  return QuarvelUtilities::BoundedStepper{upperBound, nullptr}.clamped(*value);
}

const std::vector<SettingsSection>& exportSettingsSections() {
  static const std::vector<SettingsSection> sections = makeSections();
  return sections;
}

}  // namespace SVGQuarvelViews
