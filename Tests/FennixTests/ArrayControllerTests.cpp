// Array controllers: the arrangement cache, edits and their one callback, and arrays kept in user
// defaults.
#include <gtest/gtest.h>

#include "DefaultsTestSupport.h"
#include "Fennix/Foundation/DefaultsArrayDataSource.h"

using namespace FennixTestSupport;

namespace {

/// Counts arrangements and sorts descending, so that arranged and stored order differ.
struct CountingController : QvArrayController<std::string> {
  using QvArrayController::QvArrayController;
  int arranged = 0;
  bool descending = false;
  void arrange() override {
    ++arranged;
    auto sorted = objects();
    if (descending) std::sort(sorted.rbegin(), sorted.rend());
    setArrangedObjects(std::move(sorted));
  }
};

struct ArrayControllerTest : ::testing::Test {
  CountingController controller{{"a", "b", "c", "d"}};
  int changes = 0;
  void SetUp() override {
    controller.onChange([this](QvArrayController<std::string>&) { ++changes; });
  }
};

TEST_F(ArrayControllerTest, TheArrangementIsCachedUntilTheNextChange) {
  EXPECT_EQ(controller.arranged, 0);
  EXPECT_EQ(controller.count(), 4);
  EXPECT_EQ(controller.count(), 4);
  EXPECT_EQ(controller.arranged, 1);
  controller.descending = true;
  EXPECT_EQ(controller.at(0), "a");  // still the cached arrangement
  controller.insert("e", 4);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(controller.at(0), "e");
  EXPECT_EQ(controller.arranged, 2);
  controller.set(0, "z");
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(controller.at(0), "z");
  EXPECT_EQ(controller.arranged, 3);
  controller.modifyObjects([](auto& objects) { objects.pop_back(); });
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(controller.count(), 4);
}

TEST_F(ArrayControllerTest, MovesCountTheDropPositionBeforeTheRemoval) {
  EXPECT_TRUE(controller.moveItem(0, 3));
  EXPECT_EQ(controller.objects(), (std::vector<std::string>{"b", "c", "a", "d"}));
  EXPECT_TRUE(controller.moveItem(3, 0));
  EXPECT_EQ(controller.objects(), (std::vector<std::string>{"d", "b", "c", "a"}));
  EXPECT_TRUE(controller.moveItem(0, 4));
  EXPECT_EQ(controller.objects(), (std::vector<std::string>{"b", "c", "a", "d"}));
  EXPECT_EQ(changes, 3);
  const int arranged = (controller.count(), controller.arranged);
  EXPECT_FALSE(controller.moveItem(2, 2));
  EXPECT_EQ(controller.objects(), (std::vector<std::string>{"b", "c", "a", "d"}));
  EXPECT_EQ(changes, 4);
  controller.count();
  EXPECT_EQ(controller.arranged, arranged + 1);
}

TEST_F(ArrayControllerTest, TrimOnlyShortens) {
  controller.trim(5);
  controller.trim(4);
  EXPECT_EQ(changes, 0);
  controller.remove(3);
  controller.trim(1);
  EXPECT_EQ(controller.objects(), (std::vector<std::string>{"a"}));
  EXPECT_EQ(changes, 2);
  controller.trim(0);
  EXPECT_TRUE(controller.objects().empty());
}

TEST_F(ArrayControllerTest, BadIndexesStopWithAMessage) {
  EXPECT_DEATH(controller.at(4), "out of range");
  EXPECT_DEATH(controller.set(-1, "x"), "out of range");
  EXPECT_DEATH(controller.insert("x", 5), "out of range");
  EXPECT_DEATH(controller.remove(4), "out of range");
  EXPECT_DEATH(controller.moveItem(0, 5), "out of range");
  EXPECT_DEATH(controller.trim(-1), "negative count");
}

// Defaults-backed arrays.

struct Person {
  std::string name;
  bool operator==(const Person&) const = default;
};

struct DefaultsArrayTest : ::testing::Test {
  std::string key;
  std::shared_ptr<NSUserDefaults> defaults;
  void SetUp() override {
    temporaryUserDirectories();
    key = "people." + uniqueTestName();
    defaults = NSUserDefaults::standard();
  }
  static std::optional<Person> load(const Fennix::DefaultsDictionary& d) {
    if (!d.contains("name") || !d["name"].is_string()) return std::nullopt;
    return Person{d["name"].get<std::string>()};
  }
  static std::optional<Fennix::DefaultsDictionary> save(const Person& p) {
    if (p.name.empty()) return std::nullopt;
    return Fennix::DefaultsDictionary{{"name", p.name}};
  }
  std::unique_ptr<QvDefaultsArrayDataSource<Person>> make(std::optional<std::vector<Person>> initial = {},
                                                          std::optional<std::string> group = {}) {
    return std::make_unique<QvDefaultsArrayDataSource<Person>>(key, group, load, save, initial);
  }
  /// The JSON text of the stored array, which is kept as data, as the key-value stores keep arrays.
  std::optional<std::string> stored() const {
    auto value = defaults->object(key);
    if (!value || !value->data()) return std::nullopt;
    return std::string(value->data()->begin(), value->data()->end());
  }
};

TEST_F(DefaultsArrayTest, RegisteredDefaultsAreTheContentWithoutBeingWritten) {
  auto source = make(std::vector<Person>{{"ann"}, {""}, {"bob"}});
  EXPECT_EQ(source->objects(), (std::vector<Person>{{"ann"}, {"bob"}}));
  EXPECT_EQ(source->userDefaults, defaults);
  EXPECT_FALSE(stored());
  auto empty = make({}, std::string());
  EXPECT_EQ(empty->userDefaults, defaults);
}

TEST_F(DefaultsArrayTest, ChangesAreWrittenAndLoadedAgain) {
  auto source = make();
  int changes = 0;
  source->onChange([&](auto&) { ++changes; });
  source->insert(Person{"ann"}, 0);
  source->insert(Person{""}, 1);
  source->insert(Person{"cy"}, 2);
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(nlohmann::json::parse(*stored()), nlohmann::json::parse(R"([{"name":"ann"},{"name":"cy"}])"));
  auto again = make(std::vector<Person>{{"zed"}});
  EXPECT_EQ(again->objects(), (std::vector<Person>{{"ann"}, {"cy"}}));
}

TEST_F(DefaultsArrayTest, RemovingTheLastElementIsSaved) {
  auto source = make(std::vector<Person>{{"ann"}});
  source->insert(Person{"bob"}, 1);
  source->remove(0);
  int changes = 0;
  source->onChange([&](auto&) { ++changes; });
  source->remove(0);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(stored(), "[]");
  // The registered defaults do not come back once the list was emptied.
  EXPECT_TRUE(make(std::vector<Person>{{"ann"}})->objects().empty());
}

TEST_F(DefaultsArrayTest, LoadingSkipsWhatIsNoDictionaryOrRejectedAndSurvivesBadText) {
  // Text holding the array, as earlier versions stored it, still loads.
  defaults->set(DefaultsValue(R"([{"name":"ann"}, 3, "x", [1], {"other":1}, {"name":"bob"}])"), key);
  int changes = 0;
  auto source = make();
  source->onChange([&](auto&) { ++changes; });
  EXPECT_EQ(source->objects(), (std::vector<Person>{{"ann"}, {"bob"}}));
  source->load_();
  EXPECT_EQ(changes, 1);  // loading notifies but does not write
  ASSERT_TRUE(defaults->object(key) && defaults->object(key)->text());
  EXPECT_NE(defaults->object(key)->text()->find("other"), std::string::npos);

  for (const std::string& bad : std::vector<std::string>{"not json", "{\"name\":\"x\"}", std::string(100000, '[')}) {
    defaults->set(DefaultsValue(bad), key);
    EXPECT_TRUE(make(std::vector<Person>{{"reg"}})->objects().empty());
  }
  defaults->set(DefaultsValue(7), key);
  EXPECT_TRUE(make()->objects().empty());
}

}  // namespace
