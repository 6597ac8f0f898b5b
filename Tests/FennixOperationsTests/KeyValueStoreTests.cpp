#include <gtest/gtest.h>

#include <cstdlib>

#include "Fennix/Foundation/DefaultsArrayDataSource.h"
#include "Fennix/Foundation/System/KeyValueStore.h"
#include <limits>
#include <filesystem>
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
