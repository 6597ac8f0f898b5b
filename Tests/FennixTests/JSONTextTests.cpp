// JSON text from untyped object graphs.
#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "Fennix/Foundation/JSONText.h"
#include "LogTestSupport.h"

using Fennix::AnyValue;

namespace {

class CapturedConsole {
 public:
  CapturedConsole() : console_(LogLevel::error) { console::setDefaultConsole(console_.console); }
  ~CapturedConsole() { console::setDefaultConsole(nullptr); }
  std::string errors() const { return console_.err.text(); }

 private:
  LogTestSupport::FileConsole console_;
};

}  // namespace

TEST(JSONText, WritesObjectGraphsAsThePlatformDoes) {
  CapturedConsole console;
  EXPECT_EQ(JSONSerialization::string(AnyValue::dictionary({})), "{}");
  const AnyValue graph = AnyValue::dictionary(
      {{"path", "a/b"},
       {"list", AnyValue::array({1, 2.5, true, AnyValue::null(), AnyValue::none(Fennix::AnyType::any())},
                                Fennix::AnyType::any())},
       {"whole", 3.0},
       {"float", AnyValue::float_(0.1f)},
       {"quote", "say \"hi\"\n"}});
  EXPECT_EQ(JSONSerialization::string(graph),
            R"({"path":"a\/b","list":[1,2.5,true,null,null],"whole":3,"float":0.1,"quote":"say \"hi\"\n"})");
  JSONSerialization::WritingOptions options;
  options.prettyPrinted = true;
  options.sortedKeys = true;
  options.withoutEscapingSlashes = true;
  EXPECT_EQ(JSONSerialization::string(AnyValue::dictionary({{"b", AnyValue::array({1})}, {"a", "x/y"}}), options),
            "{\n  \"a\" : \"x/y\",\n  \"b\" : [\n    1\n  ]\n}");
  options = {};
  options.fragmentsAllowed = true;
  EXPECT_EQ(JSONSerialization::string(AnyValue(7), options), "7");
  EXPECT_EQ(console.errors(), "");
}

TEST(JSONText, RejectedValuesAreLoggedAndThrown) {
  struct Case {
    AnyValue value;
    const char* failure;
  };
  const Case cases[] = {
      {AnyValue(7), "Invalid top-level type in JSON write"},
      {AnyValue::array({std::numeric_limits<double>::quiet_NaN()}), "Invalid number value (NaN) in JSON write"},
      {AnyValue::dictionary({{1, 2}}), "Invalid (non-string) key in JSON dictionary"},
      {AnyValue::array({AnyValue::object(std::make_shared<int>(1), "Widget")}), "Invalid type in JSON write (Widget)"},
  };
  for (const Case& c : cases) {
    CapturedConsole console;
    try {
      (void)JSONSerialization::string(c.value);
      ADD_FAILURE() << c.failure;
    } catch (const JSONSerialization::Error& error) {
      EXPECT_EQ(error.description(), c.failure);
    }
    EXPECT_EQ(console.errors(),
              std::string("ERROR: could not serialize JSON: ") + c.failure + " " + c.value.description() + "\n");
  }
  CapturedConsole console;
  EXPECT_THROW((void)JSONSerialization::string(AnyValue::array({"\xFF"})), JSONSerialization::QvJSONError);
  // The line carries the data the writing made, not the object.
  EXPECT_EQ(console.errors(), "ERROR: could not create string from serialized JSON data: 7 bytes\n");

  AnyValue deep = AnyValue::array({});
  for (int i = 0; i < 600; ++i) deep = AnyValue::array({deep});
  CapturedConsole quiet;
  EXPECT_THROW((void)JSONSerialization::string(deep), JSONSerialization::Error);
}
