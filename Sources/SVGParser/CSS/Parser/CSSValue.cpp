#include "SVGParser/CSS/Parser/CSSValue.h"

#include "SVGParser/Parser/FunctionParser.h"
#include "Platform/NumberText.h"

namespace CSS {

namespace {

std::string quoted(const std::string& text) { return SVGParser::debugQuoted(text); }

struct Describe {
  std::string operator()(const Value::Id& v) const { return "id(" + quoted(v.text) + ")"; }
  std::string operator()(const Value::Number& v) const {
    return "number(" + SVGParser::doubleDescription(v.value) + ")";
  }
  std::string operator()(const Value::Pixel& v) const {
    return "pixel(" + SVGParser::doubleDescription(v.value) + ")";
  }
  std::string operator()(const Value::PercentValue& v) const {
    return "percentValue(" + SVGParser::doubleDescription(v.value) + ")";
  }
  std::string operator()(const Value::Url& v) const { return "url(" + quoted(v.text) + ")"; }
  std::string operator()(const Value::Function& v) const {
    std::string text = "function(name: " + quoted(v.name) + ", arguments: [";
    for (std::size_t i = 0; i < v.arguments.size(); ++i) {
      text += (i ? ", " : "") + quoted(v.arguments[i]);
    }
    return text + "])";
  }
  std::string operator()(const Value::ExplicitNone&) const { return "explicitNone"; }
  std::string operator()(const Value::Auto&) const { return "auto"; }
  std::string operator()(const Value::Clear&) const { return "clear"; }
};

}  // namespace

std::string Value::description() const { return std::visit(Describe{}, storage_); }

}  // namespace CSS
