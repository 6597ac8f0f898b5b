#include <gtest/gtest.h>

#include <cstdlib>

#include "Fennix/Foundation/Base64.h"
#include "Fennix/Foundation/DefaultsArrayDataSource.h"
#include "Fennix/Foundation/DefaultsCollections.h"
#include "Fennix/Foundation/System/KeyValueStore.h"
#include <limits>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "FennixTests/DispatchTestSupport.h"
#include "OperationsTestSupport.h"

using namespace OperationsTestSupport;
using Fennix::AnyValue;

namespace {

/// A private configuration directory for the suites of this process, removed at its end.
void useTemporaryConfiguration() {
  struct Directory {
    std::filesystem::path path;
    Directory() {
      std::string pattern = (std::filesystem::temp_directory_path() / "fennix-ops-XXXXXX").string();
      if (::mkdtemp(pattern.data()) == nullptr) std::abort();
      path = pattern;
      ::setenv("XDG_CONFIG_HOME", path.c_str(), 1);
    }
    ~Directory() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static Directory directory;
}

std::shared_ptr<NSUbiquitousKeyValueStore> freshStore() {
  useTemporaryConfiguration();
  static int stores = 0;
  auto suite = NSUserDefaults::fromSuiteName("kvs.store" + std::to_string(++stores));
  return std::make_shared<NSUbiquitousKeyValueStore>(suite);
}

/// The console of the store's module logger, which keeps the console of its creation for the
/// whole process.
std::shared_ptr<RecordingLogger> moduleConsole() {
  static const std::shared_ptr<RecordingLogger> logger = [] {
    auto recording = std::make_shared<RecordingLogger>();
    ::setenv("LOGLEVEL_QVKVS", "trace", 1);
    console::setDefaultConsole(recording);
    ModuleLogger::default_("QvKVS");
    console::setDefaultConsole(nullptr);
    return recording;
  }();
  return logger;
}

TEST(KeyValueStore, StoresValuesOfEachKind) {
  auto store = freshStore();
  store->set(AnyValue("text"), "s");
  store->set(AnyValue::array({AnyValue(1), AnyValue("two")}), "a");
  store->set(AnyValue::dictionary({{AnyValue("k"), AnyValue::array({AnyValue(true)})}}), "d");
  store->set(AnyValue::int64(5), "i");

  EXPECT_EQ(store->string("s"), "text");
  EXPECT_EQ(store->string("a"), std::nullopt);
  auto array = store->array("a");
  ASSERT_TRUE(array);
  ASSERT_EQ(array->size(), 2u);
  EXPECT_EQ((*array)[1].text(), "two");
  auto dictionary = store->dictionary("d");
  ASSERT_TRUE(dictionary);
  EXPECT_EQ(AnyValue::dictionary(*dictionary).description(), "[\"k\": [true]]");
  EXPECT_EQ(store->object("i")->signedInteger(), 5);

  // What the store cannot hold is refused and changes nothing.
  {
    ConsoleCapture capture;
    store->set(AnyValue::dictionary({{AnyValue(1), AnyValue("x")}}), "s");
    EXPECT_EQ(capture.logger->matching("cloud key-value store cannot hold value:").size(), 1u);
  }
  EXPECT_EQ(store->string("s"), "text");

  store->removeObject("s");
  EXPECT_EQ(store->string("s"), std::nullopt);
  store->set(std::nullopt, "a");
  EXPECT_EQ(store->array("a"), std::nullopt);
}

TEST(KeyValueStore, ReadsReasonNumbers) {
  using Info = Notification::UserInfo;
  const auto& key = NSUbiquitousKeyValueStore::changeReasonKey;
  EXPECT_EQ(QvKeyValueStore::reasonNumber(Info{{key, 2}}), 2);
  EXPECT_EQ(QvKeyValueStore::reasonNumber(Info{{key, 3.0}}), 3);
  EXPECT_EQ(QvKeyValueStore::reasonNumber(Info{{key, std::string("1")}}), 1);
  EXPECT_EQ(QvKeyValueStore::reasonNumber(Info{{key, AnyValue(3)}}), 3);
  EXPECT_EQ(QvKeyValueStore::reasonNumber(Info{{key, AnyValue("2")}}), 2);
  EXPECT_EQ(QvKeyValueStore::reasonNumber(Info{{key, std::string("two")}}), 0);
  EXPECT_EQ(QvKeyValueStore::reasonNumber(Info{{key, std::string("+2")}}), 2);
  EXPECT_EQ(QvKeyValueStore::reasonNumber(Info{{key, std::string("+-2")}}), 0);
  EXPECT_EQ(QvKeyValueStore::reasonNumber(Info{{key, std::string("99999999999999999999999")}}), 0);
  EXPECT_EQ(QvKeyValueStore::reasonNumber(Info{{key, std::vector<int>{1}}}), 0);
  EXPECT_EQ(QvKeyValueStore::reasonNumber(Info{}), 0);
}

TEST(KeyValueStore, TranslatesExternalChangesForListeners) {
  auto logger = moduleConsole();
  logger->clear();
  auto store = freshStore();
  auto wrapper = QvKeyValueStore::make(store);
  wrapper->set(AnyValue("v"), "a");
  EXPECT_EQ(store->string("a"), "v");

  struct Call {
    QvKeyValueStore::ChangeReason reason;
    std::set<std::string> keys;
  };
  std::vector<Call> all, filtered;
  auto allListener = wrapper->onChange([&](QvKeyValueStore& from, QvKeyValueStore::ChangeReason reason,
                                           const std::set<std::string>& keys) {
    EXPECT_EQ(&from, wrapper.get());
    all.push_back({reason, keys});
  });
  wrapper->onChange({"a", "b"}, [&](QvKeyValueStore&, QvKeyValueStore::ChangeReason reason,
                                    const std::set<std::string>& keys) { filtered.push_back({reason, keys}); });

  auto post = [&](std::any reason, std::vector<std::string> keys) {
    Notification::UserInfo info{{NSUbiquitousKeyValueStore::changedKeysKey, keys}};
    if (reason.has_value()) info[NSUbiquitousKeyValueStore::changeReasonKey] = reason;
    const std::size_t before = all.size();
    NotificationCenter::defaultCenter().post(
        Notification(NSUbiquitousKeyValueStore::didChangeExternallyNotification, store.get(), info));
    ASSERT_TRUE(FennixTestSupport::runMainLoopUntil([&] { return all.size() > before; }));
  };

  post(std::string("3"), {"c"});
  EXPECT_EQ(all.back().reason, QvKeyValueStore::ChangeReason::accountChanged);
  EXPECT_TRUE(filtered.empty());

  post(2, {"a", "c"});
  ASSERT_EQ(filtered.size(), 1u);
  EXPECT_EQ(filtered.back().keys, (std::set<std::string>{"a"}));
  EXPECT_EQ(filtered.back().reason, QvKeyValueStore::ChangeReason::quotaViolated);

  post(std::any(), {});
  ASSERT_EQ(filtered.size(), 2u);
  EXPECT_TRUE(filtered.back().keys.empty());
  EXPECT_EQ(filtered.back().reason, QvKeyValueStore::ChangeReason::serverChange);

  post(7, {"b"});
  EXPECT_EQ(all.back().reason, QvKeyValueStore::ChangeReason::serverChange);
  EXPECT_EQ(logger->matching("Unexpected KVS change reason: 7").size(), 1u);
  EXPECT_EQ(logger->matching("KVS account change: [\"c\"]").size(), 1u);
  EXPECT_EQ(logger->matching("KVS quota violation: [\"a\", \"c\"]").size(), 1u);
  EXPECT_EQ(logger->matching("QvKVS").size(), 4u);

  // Notices of another store, and changes after the listener is gone, reach nobody.
  wrapper->removeListener(allListener);
  const std::size_t count = filtered.size();
  auto other = freshStore();
  NotificationCenter::defaultCenter().post(Notification(NSUbiquitousKeyValueStore::didChangeExternallyNotification,
                                                        other.get(), Notification::UserInfo{}));
  NotificationCenter::defaultCenter().post(Notification(NSUbiquitousKeyValueStore::didChangeExternallyNotification,
                                                        store.get(), Notification::UserInfo{}));
  ASSERT_TRUE(FennixTestSupport::runMainLoopUntil([&] { return filtered.size() > count; }));
  EXPECT_EQ(filtered.size(), count + 1);
  EXPECT_EQ(all.size(), 4u);

  // Once the wrapper is gone, its registration does nothing.
  std::weak_ptr<QvKeyValueStore> weakWrapper = wrapper;
  wrapper.reset();
  ASSERT_TRUE(FennixTestSupport::runMainLoopUntil([&] { return weakWrapper.expired(); }));
  NotificationCenter::defaultCenter().post(Notification(NSUbiquitousKeyValueStore::didChangeExternallyNotification,
                                                        store.get(), Notification::UserInfo{}));
  FennixTestSupport::runMainLoopFor(0.05);
  EXPECT_EQ(filtered.size(), count + 1);
}


Fennix::Date dateAt(double seconds) { return Fennix::Date(Fennix::DateClock::duration(seconds)); }

/// The seconds of a date the stores gave back; NaN for any other value.
double secondsOf(const AnyValue* value) {
  if (value == nullptr || !value->unwrapped().object<Fennix::Date>()) return std::nan("");
  return value->unwrapped().object<Fennix::Date>()->time_since_epoch().count();
}
/// The bytes of data the stores gave back; none for any other value.
std::optional<DefaultsData> bytesOf(const AnyValue* value) {
  if (value == nullptr || !value->unwrapped().object<DefaultsData>()) return std::nullopt;
  return *value->unwrapped().object<DefaultsData>();
}

TEST(KeyValueStore, DatesAndDataReadBackAsDatesAndDataThroughEveryStore) {
  useTemporaryConfiguration();
  const DefaultsData looksLikeAnArray{'[', '1', ']'}, binary{0, 1, 2, 255}, empty{};
  auto cloud = freshStore();
  auto wrapper = QvKeyValueStore::make(freshStore());
  QvUserDefaultsKeyValueStore defaults(NSUserDefaults::fromSuiteName("kvs.dated"));
  NSUbiquitousKeyValueStore cloudOverDefaults(NSUserDefaults::fromSuiteName("kvs.dated"));
  // Values on their own are read by the cloud store and by user defaults over the writer's suite.
  const auto readersOf = [&](QvKeyValueStoreType* store) {
    NSUbiquitousKeyValueStore* kvs = store == &defaults ? &cloudOverDefaults : store == cloud.get() ? cloud.get() : wrapper->kvs.get();
    return std::vector<std::function<std::optional<AnyValue>(const std::string&)>>{
        [kvs](const std::string& key) { return kvs->object(key); },
        [kvs](const std::string& key) { return QvUserDefaultsKeyValueStore(kvs->suite()).object(key); }};
  };
  for (QvKeyValueStoreType* store : std::initializer_list<QvKeyValueStoreType*>{cloud.get(), wrapper.get(), &defaults}) {
    SCOPED_TRACE(typeid(*store).name());
    ConsoleCapture capture;
    store->set(Fennix::dateValue(dateAt(-1234.0625)), "date");
    store->set(Fennix::dataValue(looksLikeAnArray), "data");
    store->set(Fennix::dataValue(empty), "empty");
    store->set(AnyValue::array({Fennix::dateValue(dateAt(0.1)), Fennix::dataValue(binary), AnyValue("text"),
                                AnyValue::array({Fennix::dataValue(looksLikeAnArray)})}),
               "array");
    // Keys that look like the marks of dates and data stay keys of a dictionary.
    store->set(AnyValue::dictionary({{"when", Fennix::dateValue(dateAt(7e8))},
                                     {"$date", AnyValue(5)},
                                     {"$data", AnyValue("AAEC")},
                                     {"$$", Fennix::dataValue(binary)}}),
               "dictionary");
    EXPECT_TRUE(capture.logger->matching("cannot hold value").empty());

    for (const auto& read : readersOf(store)) {
      const auto date = read("date"), data = read("data"), emptyData = read("empty");
      EXPECT_EQ(secondsOf(date ? &*date : nullptr), -1234.0625);
      EXPECT_EQ(bytesOf(data ? &*data : nullptr), looksLikeAnArray);
      EXPECT_EQ(bytesOf(emptyData ? &*emptyData : nullptr), empty);
    }
    EXPECT_EQ(store->array("data"), std::nullopt) << "data holding JSON text is no array";
    EXPECT_EQ(store->string("date"), std::nullopt);

    auto array = store->array("array");
    ASSERT_TRUE(array);
    ASSERT_EQ(array->size(), 4u);
    EXPECT_EQ(secondsOf(&(*array)[0]), 0.1);
    EXPECT_EQ(bytesOf(&(*array)[1]), binary);
    EXPECT_EQ((*array)[2].text(), "text");
    EXPECT_EQ(bytesOf(&(*array)[3].elements().at(0)), looksLikeAnArray);

    auto dictionary = store->dictionary("dictionary");
    ASSERT_TRUE(dictionary);
    const AnyValue entries = AnyValue::dictionary(*dictionary);
    EXPECT_EQ(entries.entries().size(), 4u);
    EXPECT_EQ(secondsOf(entries.lookup("when")), 7e8);
    ASSERT_NE(entries.lookup("$date"), nullptr);
    EXPECT_EQ(entries.lookup("$date")->signedInteger(), 5);
    ASSERT_NE(entries.lookup("$data"), nullptr);
    EXPECT_EQ(entries.lookup("$data")->text(), "AAEC");
    EXPECT_EQ(bytesOf(entries.lookup("$$")), binary);
  }

  // What no store holds is refused with a log line, and what was there stays.
  for (QvKeyValueStoreType* store : std::initializer_list<QvKeyValueStoreType*>{cloud.get(), &defaults}) {
    SCOPED_TRACE(typeid(*store).name());
    ConsoleCapture capture;
    store->set(Fennix::dateValue(dateAt(std::numeric_limits<double>::infinity())), "date");
    store->set(AnyValue::array({Fennix::dateValue(dateAt(std::nan("")))}), "array");
    store->set(AnyValue::array({AnyValue::object(std::make_shared<std::string>("x"))}), "array");
    store->set(AnyValue::array({AnyValue(std::string("\xff"))}), "array");
    EXPECT_EQ(capture.logger->matching("cannot hold value:").size(), 4u);
    const auto date = store == &defaults ? defaults.object("date") : cloud->object("date");
    EXPECT_EQ(secondsOf(date ? &*date : nullptr), -1234.0625);
    ASSERT_TRUE(store->array("array"));
    EXPECT_EQ(store->array("array")->size(), 4u);
  }
}


/// The data form of a text in a defaults file.
std::string base64Of(const std::string& text) { return Fennix::base64Encode(DefaultsData(text.begin(), text.end())); }

TEST(KeyValueStore, WhatEarlierVersionsStoredReadsAsBeforeAndDatesAndDataPassTheArrayDataSource) {
  useTemporaryConfiguration();
  // A suite as earlier versions wrote it: texts that look like dates and data, collections as
  // data holding their JSON text, with dictionaries whose keys look like the marks of dates and
  // data, and an array of the data source kept as text.
  const std::string legacyName = "kvs.legacy";
  const auto path = NSUserDefaults::defaultsDirectory() / (legacyName + ".json");
  std::filesystem::create_directories(path.parent_path());
  nlohmann::json file{
      {"text", "{\"$date\": 5}"},
      {"marked", std::string("\0QVD2\n{}", 8)},
      {"list", {{"$data", base64Of(R"([1, {"$date": 5}, {"$data": "AAEC"}, {"$$": "x"}])")}}},
      {"dictionary", {{"$data", base64Of(R"({"$data": "AAEC", "n": {"$date": 2.5}})")}}},
      {"people", R"([{"name": "ann", "$date": "x"}])"}};
  std::ofstream(path) << file.dump(2);

  auto legacy = NSUserDefaults::fromSuiteName(legacyName);
  NSUbiquitousKeyValueStore cloud(legacy);
  QvUserDefaultsKeyValueStore defaults(legacy);
  for (QvKeyValueStoreType* store : std::initializer_list<QvKeyValueStoreType*>{&cloud, &defaults}) {
    SCOPED_TRACE(typeid(*store).name());
    EXPECT_EQ(store->string("text"), "{\"$date\": 5}");
    EXPECT_EQ(store->string("marked"), std::string("\0QVD2\n{}", 8));
    auto list = store->array("list");
    ASSERT_TRUE(list);
    EXPECT_EQ(AnyValue::array(*list).description(), R"([1, ["$date": 5], ["$data": "AAEC"], ["$$": "x"]])");
    auto dictionary = store->dictionary("dictionary");
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(AnyValue::dictionary(*dictionary).description(), R"(["$data": "AAEC", "n": ["$date": 2.5]])");
  }

  // The data source loads the array earlier versions kept as text, and keeps dates and data of
  // its dictionaries; the stores read them as dates and data.
  struct Person {
    std::string name;
    std::optional<Fennix::Date> born;
    std::optional<DefaultsData> photo;
  };
  const auto load = [](const Fennix::DefaultsDictionary& dictionary) -> std::optional<Person> {
    if (!dictionary.contains("name") || !dictionary["name"].is_string()) return std::nullopt;
    Person person{dictionary["name"].get<std::string>(), std::nullopt, std::nullopt};
    if (dictionary.contains("born")) person.born = Fennix::defaultsDateOf(dictionary["born"]);
    if (dictionary.contains("photo") && dictionary["photo"].is_binary() && !dictionary["photo"].get_binary().has_subtype())
      person.photo = DefaultsData(dictionary["photo"].get_binary().begin(), dictionary["photo"].get_binary().end());
    return person;
  };
  const auto save = [](const Person& person) -> std::optional<Fennix::DefaultsDictionary> {
    Fennix::DefaultsDictionary dictionary{{"name", person.name}, {"$date", "not a date"}};
    if (person.born) dictionary["born"] = Fennix::defaultsDate(*person.born);
    if (person.photo) dictionary["photo"] = nlohmann::json::binary(*person.photo);
    return dictionary;
  };
  const std::string group = "group.kvs.dated";
  auto textPeople = Fennix::defaultsArray(*legacy, "people");
  ASSERT_TRUE(textPeople);
  EXPECT_EQ((*textPeople)[0]["$date"], "x");

  QvDefaultsArrayDataSource<Person> source("people", group, load, save);
  source.setObjects({Person{"ann", dateAt(-0.5), DefaultsData{'{', '}'}}, Person{"bob", std::nullopt, std::nullopt}});
  QvDefaultsArrayDataSource<Person> reloaded("people", group, load, save);
  ASSERT_EQ(reloaded.objects().size(), 2u);
  ASSERT_TRUE(reloaded.objects()[0].born);
  EXPECT_EQ(reloaded.objects()[0].born->time_since_epoch().count(), -0.5);
  EXPECT_EQ(reloaded.objects()[0].photo, (DefaultsData{'{', '}'}));
  EXPECT_FALSE(reloaded.objects()[1].born);
  NSUbiquitousKeyValueStore sameCloud(source.userDefaults);
  auto people = sameCloud.array("people");
  ASSERT_TRUE(people);
  const AnyValue ann = (*people)[0];
  EXPECT_EQ(secondsOf(ann.lookup("born")), -0.5);
  EXPECT_EQ(bytesOf(ann.lookup("photo")), (DefaultsData{'{', '}'}));
  ASSERT_NE(ann.lookup("$date"), nullptr);
  EXPECT_EQ(ann.lookup("$date")->text(), "not a date");

  // A store writes dates into the array; the data source loads them as dates.
  sameCloud.set(AnyValue::array({AnyValue::dictionary({{"name", AnyValue("cy")}, {"born", Fennix::dateValue(dateAt(3))}})}),
                "people");
  QvDefaultsArrayDataSource<Person> fromStore("people", group, load, save);
  ASSERT_EQ(fromStore.objects().size(), 1u);
  ASSERT_TRUE(fromStore.objects()[0].born);
  EXPECT_EQ(fromStore.objects()[0].born->time_since_epoch().count(), 3.0);

  // An array that has no stored form is refused and the stored one stays.
  ConsoleCapture capture;
  Fennix::setDefaultsArray(*source.userDefaults, "people",
                           nlohmann::json::array({Fennix::defaultsDate(dateAt(std::nan("")))}));
  EXPECT_EQ(capture.logger->matching("user defaults cannot hold the array for key: people").size(), 1u);
  EXPECT_EQ(Fennix::defaultsArray(*source.userDefaults, "people")->size(), 1u);
}

/// What code that only reads and writes values does, over any of the stores.
void roundTripThrough(QvKeyValueStoreType& store) {
  SCOPED_TRACE(typeid(store).name());
  store.set(AnyValue("text"), "s");
  store.set(AnyValue::array({AnyValue(1), AnyValue("two"), AnyValue::array({AnyValue(2.5)})}), "a");
  store.set(AnyValue::dictionary({{AnyValue("k"), AnyValue::array({AnyValue(true)})}, {AnyValue("n"), AnyValue(7)}}),
            "d");
  EXPECT_EQ(store.string("s"), "text");
  auto array = store.array("a");
  ASSERT_TRUE(array);
  EXPECT_EQ(AnyValue::array(*array).description(), "[1, \"two\", [2.5]]");
  auto dictionary = store.dictionary("d");
  ASSERT_TRUE(dictionary);
  EXPECT_EQ(AnyValue::dictionary(*dictionary).description(), "[\"k\": [true], \"n\": 7]");
  // Each reader answers only its own kind.
  EXPECT_EQ(store.array("d"), std::nullopt);
  EXPECT_EQ(store.dictionary("a"), std::nullopt);
  EXPECT_EQ(store.array("s"), std::nullopt);
  EXPECT_EQ(store.string("a"), std::nullopt);
  EXPECT_EQ(store.array("missing"), std::nullopt);
  store.removeObject("a");
  EXPECT_EQ(store.array("a"), std::nullopt);
  EXPECT_TRUE(store.dictionary("d"));
}

TEST(KeyValueStore, UserDefaultsTheCloudStoreAndTheWrapperAreInterchangeable) {
  auto cloud = freshStore();
  roundTripThrough(*cloud);
  roundTripThrough(*QvKeyValueStore::make(freshStore()));
  auto suite = NSUserDefaults::fromSuiteName("kvs.plain");
  QvUserDefaultsKeyValueStore defaults(suite);
  roundTripThrough(defaults);

  // Over one suite, each store reads what the other wrote, and the file keeps it.
  QvUserDefaultsKeyValueStore sameSuite(cloud->suite());
  ASSERT_TRUE(sameSuite.dictionary("d"));
  EXPECT_EQ(AnyValue::dictionary(*sameSuite.dictionary("d")).description(), "[\"k\": [true], \"n\": 7]");
  sameSuite.set(AnyValue::array({AnyValue("from defaults")}), "b");
  ASSERT_TRUE(cloud->array("b"));
  EXPECT_EQ((*cloud->array("b"))[0].text(), "from defaults");

  // What user defaults cannot hold is refused with a log line and changes nothing.
  ConsoleCapture capture;
  defaults.set(AnyValue::dictionary({{AnyValue(1), AnyValue("x")}}), "d");
  EXPECT_EQ(capture.logger->matching("user defaults cannot hold value:").size(), 1u);
  EXPECT_TRUE(defaults.dictionary("d"));
}

TEST(KeyValueStore, UnsignedIntegersAndStoredArraysReadTheSameThroughEveryStoreAndTheArrayDataSource) {
  useTemporaryConfiguration();
  constexpr auto largest = std::numeric_limits<std::uint64_t>::max();
  // Each store writes unsigned integers; over one suite the others read them back.
  auto cloud = freshStore();
  auto wrapper = QvKeyValueStore::make(freshStore());
  QvUserDefaultsKeyValueStore defaults(NSUserDefaults::fromSuiteName("kvs.unsigned"));
  for (QvKeyValueStoreType* store : std::initializer_list<QvKeyValueStoreType*>{cloud.get(), wrapper.get(), &defaults}) {
    SCOPED_TRACE(typeid(*store).name());
    ConsoleCapture capture;
    store->set(AnyValue::uint(5), "small");
    store->set(AnyValue::uint64(largest), "large");
    store->set(AnyValue::array({AnyValue::uint8(200), AnyValue::uint64(largest)}), "list");
    EXPECT_TRUE(capture.logger->matching("cannot hold value").empty());
    ASSERT_TRUE(store->array("list"));
    EXPECT_EQ(AnyValue::array(*store->array("list")).description(), "[200, 18446744073709551615]");
  }
  NSUbiquitousKeyValueStore reader(NSUserDefaults::fromSuiteName("kvs.unsigned"));
  ASSERT_TRUE(reader.object("small"));
  EXPECT_EQ(reader.object("small")->signedInteger(), 5);
  ASSERT_TRUE(reader.object("large"));
  EXPECT_EQ(reader.object("large")->unsignedInteger(), largest);
  ASSERT_TRUE(cloud->object("small"));
  EXPECT_EQ(cloud->object("small")->signedInteger(), 5);

  // The defaults-backed array data source keeps its array in the same form: a store reads what the
  // data source wrote, and the data source loads what a store wrote.
  struct Name {
    std::string text;
  };
  const auto load = [](const Fennix::DefaultsDictionary& dictionary) -> std::optional<Name> {
    if (!dictionary.contains("name") || !dictionary["name"].is_string()) return std::nullopt;
    return Name{dictionary["name"].get<std::string>()};
  };
  const auto save = [](const Name& name) -> std::optional<Fennix::DefaultsDictionary> {
    return Fennix::DefaultsDictionary{{"name", name.text}};
  };
  const std::string group = "group.kvs.shared";
  QvDefaultsArrayDataSource<Name> source("people", group, load, save);
  source.setObjects({Name{"ann"}, Name{"bob"}});
  QvUserDefaultsKeyValueStore sameDefaults(source.userDefaults);
  NSUbiquitousKeyValueStore sameCloud(source.userDefaults);
  for (QvKeyValueStoreType* store : std::initializer_list<QvKeyValueStoreType*>{&sameDefaults, &sameCloud}) {
    auto people = store->array("people");
    ASSERT_TRUE(people);
    EXPECT_EQ(AnyValue::array(*people).description(), "[[\"name\": \"ann\"], [\"name\": \"bob\"]]");
  }
  sameDefaults.set(AnyValue::array({AnyValue::dictionary({{AnyValue("name"), AnyValue("cy")}})}), "people");
  QvDefaultsArrayDataSource<Name> reloaded("people", group, load, save);
  ASSERT_EQ(reloaded.objects().size(), 1u);
  EXPECT_EQ(reloaded.objects()[0].text, "cy");
}

}  // namespace

TEST(KeyValueStore, NumbersThatAreNotFiniteAreRefusedAndWhatWasStoredStays) {
  useTemporaryConfiguration();
  const double nan = std::nan(""), infinity = std::numeric_limits<double>::infinity();
  auto cloud = freshStore();
  auto wrapper = QvKeyValueStore::make(freshStore());
  QvUserDefaultsKeyValueStore defaults(NSUserDefaults::fromSuiteName("kvs.finite"));
  for (QvKeyValueStoreType* store : std::initializer_list<QvKeyValueStoreType*>{cloud.get(), wrapper.get(), &defaults}) {
    SCOPED_TRACE(typeid(*store).name());
    store->set(AnyValue(1.5), "number");
    store->set(AnyValue::array({AnyValue(1.5)}), "array");
    ConsoleCapture capture;
    store->set(AnyValue(nan), "number");
    store->set(AnyValue(-infinity), "number");
    store->set(AnyValue::array({AnyValue(1), AnyValue(nan)}), "array");
    store->set(AnyValue::array({AnyValue::dictionary({{"x", AnyValue(infinity)}})}), "array");
    EXPECT_EQ(capture.logger->matching("cannot hold value:").size(), 4u);

    NSUbiquitousKeyValueStore reader(store == &defaults ? NSUserDefaults::fromSuiteName("kvs.finite")
                                     : store == cloud.get() ? cloud->suite() : wrapper->kvs->suite());
    const auto number = reader.object("number");
    ASSERT_TRUE(number);
    EXPECT_EQ(number->doubleValue(), 1.5);
    ASSERT_TRUE(store->array("array"));
    EXPECT_EQ(AnyValue::array(*store->array("array")).description(), "[1.5]");
  }

  // The array data source refuses such arrays too.
  auto suite = NSUserDefaults::fromSuiteName("kvs.finite");
  Fennix::setDefaultsArray(*suite, "list", nlohmann::json::array({{{"n", 1}}}));
  ConsoleCapture capture;
  Fennix::setDefaultsArray(*suite, "list", nlohmann::json::array({{{"n", nan}}}));
  EXPECT_EQ(capture.logger->matching("cannot hold the array for key: list").size(), 1u);
  EXPECT_EQ(Fennix::defaultsArray(*suite, "list"), nlohmann::json::array({{{"n", 1}}}));
}

TEST(KeyValueStore, StoredFormsNoWriterMakesReadAsNothingAndLeaveTheOtherKeys) {
  useTemporaryConfiguration();
  const std::string name = "kvs.hostile";
  const auto path = NSUserDefaults::defaultsDirectory() / (name + ".json");
  std::filesystem::create_directories(path.parent_path());
  const std::string marker("\0QVD2\n", 6);
  const std::vector<std::string> forms = {
      marker,
      marker + "[{\"$date\":",
      marker + "[" + std::string(100000, '[') + "{\"$date\": 1}",
      marker + std::string(100000, '[') + std::string(100000, ']'),
      marker + "[{\"$date\": \"soon\"}]",
      marker + "[{\"$date\": 1e400}]",
      marker + "[{\"$date\": null}]",
      marker + "[{\"$data\": 5}]",
      marker + "[{\"$data\": \"A===\"}]",
      marker + "[{\"$data\": \"" + std::string(4 * 100000 - 1, 'A') + "\"}]",
      marker + "[{\"$date\": 1, \"$data\": \"\"}]",
      marker + "[{\"$unescaped\": 1}]",
      marker + "[1] trailing",
  };
  nlohmann::json file{{"good", {{"$data", base64Of(marker + "[{\"$date\": 2.5}]")}}}};
  for (std::size_t i = 0; i < forms.size(); ++i) file["bad" + std::to_string(i)] = {{"$data", base64Of(forms[i])}};
  std::ofstream(path) << file.dump();

  auto suite = NSUserDefaults::fromSuiteName(name);
  NSUbiquitousKeyValueStore cloud(suite);
  QvUserDefaultsKeyValueStore defaults(suite);
  for (std::size_t i = 0; i < forms.size(); ++i) {
    SCOPED_TRACE(i);
    const std::string key = "bad" + std::to_string(i);
    EXPECT_EQ(cloud.object(key), std::nullopt);
    EXPECT_EQ(defaults.array(key), std::nullopt);
    EXPECT_EQ(Fennix::defaultsArray(*suite, key), std::nullopt);
  }
  ASSERT_TRUE(cloud.array("good"));
  EXPECT_EQ(secondsOf(&cloud.array("good")->at(0)), 2.5);
}
