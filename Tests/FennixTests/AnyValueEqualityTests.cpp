// Dynamic equality of untyped values and the loose coercions built on it.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "Fennix/Foundation/BaseTypes/AnyValue.h"
#include "Fennix/Foundation/BaseTypes/UObject.h"
#include "LogTestSupport.h"

using Fennix::AnyType;
using Fennix::AnyValue;

namespace {

/// Captures what the default console writes while alive.
class CapturedConsole {
 public:
  CapturedConsole() : console_(LogLevel::info) { console::setDefaultConsole(console_.console); }
  ~CapturedConsole() { console::setDefaultConsole(nullptr); }
  std::string errors() const { return console_.err.text(); }
  std::string output() const { return console_.out.text(); }

 private:
  LogTestSupport::FileConsole console_;
};

struct Thing {
  std::string description() const { return "a thing"; }
};

class Tagged : public EquatableType {
 public:
  explicit Tagged(int tag) : tag_(tag) {}
  using EquatableType::isEqual;
  bool isEqual(const AnyValue& other) const override {
    const auto object = other.unwrapped().object<Tagged>();
    return object != nullptr && object->tag_ == tag_;
  }

 private:
  int tag_;
};

// An object type with a truth value of its own.
class Switch : public UObjectBoolValue {
 public:
  explicit Switch(bool on) : on_(on) {}
  bool swiftObjectsBoolValue() const override { return on_; }

 private:
  bool on_;
};

}  // namespace

TEST(AnyValueEquality, AbsentValuesAndIntegerWidening) {
  CapturedConsole console;
  EXPECT_TRUE(eq(std::nullopt, std::nullopt));
  EXPECT_FALSE(eq(AnyValue(5), std::nullopt));
  EXPECT_FALSE(eq(std::nullopt, AnyValue(5)));
  EXPECT_FALSE(eq(AnyValue::none(AnyType(Fennix::AnyKind::int_)), AnyValue(0)));

  EXPECT_TRUE(eq(AnyValue(5), AnyValue::int8(5)));
  EXPECT_TRUE(eq(AnyValue::int8(5), AnyValue(5)));
  EXPECT_FALSE(eq(AnyValue::int8(5), AnyValue(300)));
  EXPECT_TRUE(eq(AnyValue(-1), AnyValue::int16(-1)));  // sign-extended
  EXPECT_FALSE(eq(AnyValue(-1), AnyValue::uint32(0xFFFFFFFF)));  // zero-extended
  EXPECT_TRUE(eq(AnyValue(7), AnyValue::some(AnyValue::int32(7))));  // a present optional is its value
  EXPECT_TRUE(eq(AnyValue::int32(-2147483648), AnyValue::int_(-2147483648L)));
  EXPECT_FALSE(eq(AnyValue::int32(0), AnyValue::int_(1L << 32)));  // out of Int32's range
  EXPECT_FALSE(eq(AnyValue::uint8(255), AnyValue(-1)));
  EXPECT_FALSE(eq(AnyValue::uint8(0), AnyValue(256)));
  EXPECT_TRUE(eq(AnyValue::uint8(200), AnyValue::uint(200)));
  EXPECT_EQ(console.errors() + console.output(), "");
}

TEST(AnyValueEquality, UnexpectedIntegerArgumentsWarnOnlyForTheReceiversThatSaySo) {
  {
    CapturedConsole console;
    EXPECT_FALSE(eq(AnyValue(5), AnyValue::uint(5)));
    EXPECT_EQ(console.output(), "WARN:  compare Int w/ unexpected type: 5 UInt\n");
  }
  {
    CapturedConsole console;
    EXPECT_FALSE(eq(AnyValue::uint(5), AnyValue(5)));  // the left side is tested first, silently
    EXPECT_FALSE(eq(AnyValue::float_(1.5f), AnyValue(1.5)));
    EXPECT_FALSE(eq(AnyValue(1.5), AnyValue::float_(1.5f)));
    EXPECT_EQ(console.output(), "");
  }
  {
    CapturedConsole console;
    EXPECT_FALSE(eq(AnyValue(1), AnyValue(true)));
    EXPECT_FALSE(eq(AnyValue::int32(1), AnyValue::int64(1)));
    EXPECT_FALSE(eq(AnyValue::int8(1), AnyValue::some(AnyValue("1"))));
    EXPECT_EQ(console.output(),
              "WARN:  compare Int w/ unexpected type: true Bool\n"
              "WARN:  compare Int32 w/ unexpected type: 1 Int64\n"
              "WARN:  compare Int8 w/ unexpected type: Optional(\"1\") Optional<String>\n");
  }
}

TEST(AnyValueEquality, Int64AgainstUInt64AroundTwoToTheSixtyThird) {
  CapturedConsole console;
  const std::uint64_t twoTo63 = std::uint64_t(1) << 63;
  EXPECT_FALSE(eq(AnyValue::int64(std::numeric_limits<std::int64_t>::min()), AnyValue::uint64(twoTo63)));
  EXPECT_FALSE(eq(AnyValue::int64(-1), AnyValue::uint64(~std::uint64_t(0))));
  EXPECT_TRUE(eq(AnyValue::int64(std::numeric_limits<std::int64_t>::max()), AnyValue::uint64(twoTo63 - 1)));
  EXPECT_TRUE(eq(AnyValue::int64(7), AnyValue::uint64(7)));
  EXPECT_TRUE(eq(AnyValue::int64(7), AnyValue::int64(7)));
  EXPECT_EQ(console.output(), "");
}

TEST(AnyValueEquality, ExactTypesFloatsAndTexts) {
  EXPECT_TRUE(eq(AnyValue(0.0), AnyValue(-0.0)));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(eq(AnyValue(nan), AnyValue(nan)));
  EXPECT_TRUE(eq(AnyValue(true), AnyValue(true)));
  EXPECT_FALSE(eq(AnyValue(true), AnyValue(1)));
  // "é" precomposed and as "e" with a combining accent are canonically equivalent.
  EXPECT_TRUE(eq(AnyValue("caf\xC3\xA9"), AnyValue("cafe\xCC\x81")));
  EXPECT_FALSE(eq(AnyValue("cafe"), AnyValue("caf\xC3\xA9")));
  EXPECT_FALSE(eq(AnyValue("\xFF"), AnyValue("\xFE")));  // not UTF-8: only the same bytes
  EXPECT_TRUE(eq(AnyValue("\xFF"), AnyValue("\xFF")));
}

TEST(AnyValueEquality, ArraysAndDictionariesTestTheirElementTypes) {
  CapturedConsole console;
  EXPECT_TRUE(eq(AnyValue::array({1, 2}), AnyValue::array({1, 2})));
  EXPECT_FALSE(eq(AnyValue::array({1, 2}), AnyValue::array({2, 1})));
  EXPECT_FALSE(eq(AnyValue::array({1, 2}), AnyValue::array({1, 2, 3})));
  EXPECT_TRUE(eq(AnyValue::array({}), AnyValue::array({})));
  // [Int] against [Int32]: no Int32 element passes the test for Int.
  EXPECT_FALSE(eq(AnyValue::array({1, 2}), AnyValue::array({AnyValue::int32(1), AnyValue::int32(2)})));
  // [Any] holding Ints against [Int32]: the elements compare by the Int rule, which widens.
  const AnyValue anyArray = AnyValue::array({1, 2}, AnyType::any());
  EXPECT_EQ(anyArray.typeName(), "Array<Any>");
  EXPECT_TRUE(eq(anyArray, AnyValue::array({AnyValue::int32(1), AnyValue::int32(2)})));
  // An [Int] receiver accepts an [Any] whose elements are all Ints.
  EXPECT_TRUE(eq(AnyValue::array({1, 2}), anyArray));
  EXPECT_EQ(console.output(), "");

  const AnyValue a = AnyValue::dictionary({{"x", 1}, {"y", 2}});
  EXPECT_EQ(a.typeName(), "Dictionary<String, Int>");
  EXPECT_TRUE(eq(a, AnyValue::dictionary({{"y", 2}, {"x", 1}})));
  EXPECT_FALSE(eq(a, AnyValue::dictionary({{"x", 1}, {"y", 3}})));
  EXPECT_FALSE(eq(a, AnyValue::dictionary({{"x", 1}, {"z", 2}})));
  EXPECT_FALSE(eq(a, AnyValue::dictionary({{"x", 1}})));
  EXPECT_TRUE(eq(AnyValue::dictionary({}, AnyType(Fennix::AnyKind::string), AnyType(Fennix::AnyKind::int_)),
                 AnyValue::dictionary({}, AnyType(Fennix::AnyKind::string), AnyType(Fennix::AnyKind::int_))));
  // Keys are found by canonical equivalence; a later duplicate key replaces the earlier value.
  EXPECT_TRUE(eq(AnyValue::dictionary({{"caf\xC3\xA9", 1}}), AnyValue::dictionary({{"cafe\xCC\x81", 1}})));
  EXPECT_EQ(AnyValue::dictionary({{"k", 1}, {"k", 2}}).description(), "[\"k\": 2]");
}

TEST(AnyValueEquality, LargeDictionariesCompareWithoutComparingEveryPair) {
  AnyValue::Dictionary entries;
  for (int i = 0; i < 50000; ++i) entries.emplace_back(std::to_string(i), i);
  AnyValue::Dictionary reversed(entries.rbegin(), entries.rend());
  EXPECT_TRUE(eq(AnyValue::dictionary(entries), AnyValue::dictionary(reversed)));
}

TEST(AnyValueEquality, ObjectsAreEqualOnlyToThemselvesUnlessEquatable) {
  const auto thing = std::make_shared<Thing>();
  EXPECT_TRUE(eq(AnyValue::object(thing), AnyValue::object(thing)));
  EXPECT_FALSE(eq(AnyValue::object(thing), AnyValue::object(std::make_shared<Thing>())));
  EXPECT_EQ(AnyValue::object(thing).description(), "a thing");
  EXPECT_EQ(AnyValue::object(thing).object<Thing>(), thing);
  EXPECT_TRUE(eq(AnyValue::null(), AnyValue::null()));
  // Values that are neither objects nor EquatableType never equal anything.
  EXPECT_FALSE(eq(AnyValue::int16(3), AnyValue::int16(3)));
  EXPECT_TRUE(eq(AnyValue::object(std::make_shared<Tagged>(4)), AnyValue::object(std::make_shared<Tagged>(4))));
  EXPECT_FALSE(eq(AnyValue::object(std::make_shared<Tagged>(4)), AnyValue::object(std::make_shared<Tagged>(5))));
  EXPECT_TRUE(eq(std::optional<int>(), std::optional<int>()));
  EXPECT_FALSE(eq(std::optional<int>(1), std::optional<int>()));
  EXPECT_TRUE(eq(std::optional<std::string>("a"), std::optional<std::string>("a")));
}

TEST(AnyValueEquality, StaticallyTypedArraysAndDictionaries) {
  CapturedConsole console;
  using Fennix::isEqualToArray;
  using Fennix::isEqualToDictionary;
  EXPECT_TRUE(isEqualToArray(std::vector<int>{1, 2}, {1, 2}));
  EXPECT_FALSE(isEqualToArray(std::vector<int>{1, 2}, {2, 1}));
  EXPECT_FALSE(isEqualToArray(std::vector<int>{1}, {1, 1}));
  EXPECT_TRUE(isEqualToArray(std::vector<int>{}, {}));
  // Untyped elements widen as `eq` does; objects of an EquatableType compare through the receiver.
  EXPECT_TRUE(isEqualToArray(std::vector<AnyValue>{AnyValue(5)}, {AnyValue::int8(5)}));
  EXPECT_FALSE(isEqualToArray(std::vector<AnyValue>{AnyValue::uint(5)}, {AnyValue(5)}));
  using TaggedList = std::vector<std::shared_ptr<Tagged>>;
  EXPECT_TRUE(isEqualToArray(TaggedList{std::make_shared<Tagged>(1)}, TaggedList{std::make_shared<Tagged>(1)}));
  EXPECT_FALSE(isEqualToArray(TaggedList{std::make_shared<Tagged>(1)}, TaggedList{std::make_shared<Tagged>(2)}));
  EXPECT_FALSE(isEqualToArray(TaggedList{std::make_shared<Tagged>(1)}, TaggedList{nullptr}));

  using Numbers = std::map<std::string, int>;
  EXPECT_TRUE(isEqualToDictionary(Numbers{{"a", 1}, {"b", 2}}, Numbers{{"b", 2}, {"a", 1}}));
  EXPECT_FALSE(isEqualToDictionary(Numbers{{"a", 1}, {"b", 2}}, Numbers{{"a", 1}, {"c", 2}}));
  EXPECT_FALSE(isEqualToDictionary(Numbers{{"a", 1}}, Numbers{{"a", 2}}));
  EXPECT_TRUE(isEqualToDictionary(Numbers{}, Numbers{}));
  using Untyped = std::map<std::string, AnyValue>;
  EXPECT_TRUE(isEqualToDictionary(Untyped{{"a", AnyValue::int32(3)}}, Untyped{{"a", AnyValue(3)}}));
  EXPECT_FALSE(isEqualToDictionary(Untyped{{"a", AnyValue(3)}}, Untyped{{"b", AnyValue(3)}}));
  using TaggedMap = std::map<int, std::shared_ptr<Tagged>>;
  EXPECT_TRUE(isEqualToDictionary(TaggedMap{{1, std::make_shared<Tagged>(7)}}, TaggedMap{{1, std::make_shared<Tagged>(7)}}));
  EXPECT_FALSE(isEqualToDictionary(TaggedMap{{1, std::make_shared<Tagged>(7)}}, TaggedMap{{2, std::make_shared<Tagged>(7)}}));
  EXPECT_EQ(console.output(), "");
}

TEST(AnyValueEquality, OptionalReceivers) {
  const AnyValue none = AnyValue::none(AnyType(Fennix::AnyKind::int_));
  EXPECT_TRUE(none.isEqual(std::optional<AnyValue>()));
  EXPECT_FALSE(none.isEqual(AnyValue(1)));
  EXPECT_FALSE(AnyValue::some(1).isEqual(std::optional<AnyValue>()));
  EXPECT_TRUE(AnyValue::some(1).isEqual(std::optional<AnyValue>(AnyValue(1))));
  EXPECT_FALSE(AnyValue(1).isEqual(std::optional<AnyValue>()));
}

namespace {
/// `value` wrapped in `depth` present optionals.
AnyValue nested(AnyValue value, int depth) {
  for (int i = 0; i < depth; ++i) value = AnyValue::some(value);
  return value;
}
}  // namespace

// Each optional layer costs one step: trying a layer both as the optional and as the value it
// wraps would double the work per layer, and 64 layers would never finish.
TEST(AnyValueEquality, DeeplyNestedOptionalsCompareInOneStepPerLayer) {
  constexpr int depth = 64;
  const AnyValue ints = AnyValue::array({nested(1, depth)});
  const AnyValue texts = AnyValue::array({nested("x", depth)});
  EXPECT_FALSE(eq(ints, texts));
  EXPECT_FALSE(eq(texts, ints));
  EXPECT_TRUE(eq(ints, AnyValue::array({nested(1, depth)})));
  EXPECT_FALSE(eq(AnyValue::dictionary({{"k", nested(1, depth)}}), AnyValue::dictionary({{"k", nested("x", depth)}})));
  EXPECT_TRUE(eq(AnyValue::dictionary({{"k", nested(1, depth)}}), AnyValue::dictionary({{"k", nested(1, depth)}})));
  EXPECT_FALSE(nested("x", depth).passes(nested(1, depth).type()));
  // An absent value deep inside passes exactly the optional types.
  const AnyValue absent = nested(AnyValue::none(AnyType(Fennix::AnyKind::int_)), depth);
  EXPECT_TRUE(absent.passes(AnyType::optional(AnyType(Fennix::AnyKind::string))));
  EXPECT_FALSE(absent.passes(AnyType(Fennix::AnyKind::string)));
  EXPECT_TRUE(absent.passes(AnyType::any()));
  // A present value passes its innermost type at any depth of optional types, and no other.
  AnyType optionalInt(Fennix::AnyKind::int_);
  for (int i = 0; i < depth; ++i) optionalInt = AnyType::optional(optionalInt);
  EXPECT_TRUE(AnyValue(1).passes(optionalInt));
  EXPECT_TRUE(nested(1, 3).passes(AnyType(Fennix::AnyKind::int_)));
  EXPECT_FALSE(AnyValue("x").passes(optionalInt));
}

TEST(AnyValueDeathTest, WrongAccessorsAndMistypedElementsStop) {
  EXPECT_DEATH(AnyValue(1).text(), "Fatal error: AnyValue.text of a value of type Int");
  EXPECT_DEATH(AnyValue::array({AnyValue("a")}, AnyType(Fennix::AnyKind::int_)), "Fatal error: .*array of Int");
}

TEST(UObjectCoercion, TruthValues) {
  for (const char* text : {"", "0", " ", "NO", "false", "undefined"}) {
    EXPECT_FALSE(UObject::boolValue(text)) << text;
    EXPECT_FALSE(UObject::boolValue(AnyValue(text))) << text;
  }
  for (const char* text : {"no", "No", "1", "yes", "  ", "FALSE"}) {
    EXPECT_TRUE(UObject::boolValue(text)) << text;
    EXPECT_TRUE(UObject::boolValue(AnyValue(text))) << text;
  }
  EXPECT_FALSE(UObject::boolValue(std::nullopt));
  EXPECT_FALSE(UObject::boolValue(std::optional<std::string>()));
  EXPECT_FALSE(UObject::boolValue(AnyValue::array({})));
  EXPECT_TRUE(UObject::boolValue(AnyValue::array({1})));
  EXPECT_FALSE(UObject::boolValue(AnyValue::set({})));
  EXPECT_FALSE(UObject::boolValue(AnyValue(0)));
  EXPECT_TRUE(UObject::boolValue(AnyValue(0.0)));  // any other value counts as true
  EXPECT_TRUE(UObject::boolValue(AnyValue::int8(0)));
  EXPECT_FALSE(UObject::boolValue(AnyValue::some(AnyValue(false))));
  EXPECT_FALSE(UObject::boolValue(AnyValue::none(AnyType(Fennix::AnyKind::bool_))));
  // Objects answer for themselves when their type says how; other objects are true.
  EXPECT_FALSE(UObject::boolValue(AnyValue::object(std::make_shared<Switch>(false))));
  EXPECT_FALSE(UObject::boolValue(AnyValue::some(AnyValue::object(std::make_shared<Switch>(false)))));
  EXPECT_TRUE(UObject::boolValue(AnyValue::object(std::make_shared<Switch>(true))));
  EXPECT_TRUE(UObject::boolValue(AnyValue::object(std::make_shared<Thing>())));
  EXPECT_FALSE(UObject::boolValue(AnyValue::object(std::shared_ptr<Switch>())));  // absent
}

TEST(UObjectCoercion, IntegersFromTextNeverOverflow) {
  EXPECT_EQ(UObject::intValue("42"), 42);
  EXPECT_EQ(UObject::intValue("-7"), -7);
  EXPECT_EQ(UObject::intValue("+3"), 3);
  for (const char* text : {" 42", "4x", "", "+", "-", "+-1", "1 ", "0x10", "99999999999999999999"}) {
    EXPECT_EQ(UObject::intValue(text), 0) << text;
  }
  EXPECT_EQ(UObject::intValue("9223372036854775807"), std::numeric_limits<long>::max());
  EXPECT_EQ(UObject::intValue("9223372036854775808"), 0);
  EXPECT_EQ(UObject::intValue("-9223372036854775808"), std::numeric_limits<long>::min());
  EXPECT_EQ(UObject::intValue("-9223372036854775809"), 0);
  EXPECT_EQ(UObject::intValue(AnyValue(true)), 1);
  EXPECT_EQ(UObject::intValue(AnyValue(false)), 0);
  EXPECT_EQ(UObject::intValue(std::nullopt), 0);
  EXPECT_EQ(UObject::intValue(AnyValue::null()), 0);
  EXPECT_EQ(UObject::intValue(AnyValue("12")), 12);
  EXPECT_EQ(UObject::intValue(AnyValue::int8(-5)), -5);  // by its description
  EXPECT_EQ(UObject::intValue(AnyValue(2.5)), 0);
}

TEST(UObjectCoercion, TextsAndNames) {
  EXPECT_EQ(UObject::stringValue(std::nullopt), "<nil>");
  EXPECT_EQ(UObject::stringValue(AnyValue::null()), "<nil>");
  EXPECT_EQ(UObject::stringValue(AnyValue(false)), "false");
  EXPECT_EQ(UObject::stringValue(AnyValue(12)), "12");
  EXPECT_EQ(UObject::stringValue(AnyValue(1.0)), "1.0");
  EXPECT_EQ(UObject::stringValue(AnyValue::array({"a", "b"})), "[\"a\", \"b\"]");
  EXPECT_EQ(UObject::getSimpleName(AnyValue::array({AnyValue::some(1)})), "Array<Optional<Int>>");
  EXPECT_EQ(UObject::getSimpleName(AnyValue::object(std::make_shared<Thing>())), "Thing");
}

TEST(UObjectCoercion, LooseEquality) {
  CapturedConsole console;
  EXPECT_TRUE(UObject::isEqual(std::nullopt, std::nullopt));
  EXPECT_FALSE(UObject::isEqual(AnyValue(1), std::nullopt));
  EXPECT_TRUE(UObject::isEqual(AnyValue("a"), AnyValue("a")));
  EXPECT_TRUE(UObject::isEqual(AnyValue(3), AnyValue(3)));
  EXPECT_FALSE(UObject::isEqual(AnyValue(1), AnyValue("1")));
  EXPECT_EQ(console.output(), "WARN:  compare Int w/ unexpected type: 1 String\n");
  // Neither text, Int nor EquatableType: the same type compares by text, different types never.
  EXPECT_TRUE(UObject::isEqual(AnyValue::int16(4), AnyValue::int16(4)));
  EXPECT_FALSE(UObject::isEqual(AnyValue::int16(4), AnyValue::uint16(4)));
  EXPECT_TRUE(UObject::isEqual(AnyValue::set({1, 2}), AnyValue::set({1, 2})));
}
