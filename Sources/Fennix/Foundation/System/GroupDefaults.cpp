#include "Fennix/Foundation/System/GroupDefaults.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "Fennix/Foundation/System/Bundle.h"
#include "Platform/Dispatch.h"
#include "Fennix/console/Console.h"
#include "Fennix/console/ModuleLogger.h"
#include "Platform/DistributedNotificationCenter.h"
#include "Platform/NotificationCenter.h"

namespace {

class GlobalDefaultNotificationGateway {
 public:
  static GlobalDefaultNotificationGateway& shared() {
    // Kept until the process ends, with its observers.
    static auto* gateway = new GlobalDefaultNotificationGateway();
    return *gateway;
  }

  void relayUnrecorded(const std::shared_ptr<NSUserDefaults>& suite, const std::string& group) {
    {
      std::lock_guard<std::mutex> guard(lock);
      std::erase_if(unrecordedSuites, [](const auto& entry) { return entry.first.expired(); });
      unrecordedSuites.emplace_back(suite, group);
    }
    registerForRemoteNotifications(suite, group);
  }

  void registerForRemoteNotifications(const std::shared_ptr<NSUserDefaults>& suite, const std::string& group) {
    {
      std::lock_guard<std::mutex> guard(lock);
      auto found = registeredGroups.find(group);
      if (found != registeredGroups.end()) {
        // Suites are held weakly: one that its opener let go of leaves the list here.
        auto& suites = found->second;
        std::erase_if(suites, [](const std::weak_ptr<NSUserDefaults>& entry) { return entry.expired(); });
        const bool known = std::any_of(suites.begin(), suites.end(), [&](const std::weak_ptr<NSUserDefaults>& entry) {
          return entry.lock() == suite;
        });
        if (!known) suites.push_back(suite);
        return;
      }
      registeredGroups[group] = {suite};
    }
    log->trace("registering defaults group:", group);
    if (dnc != nullptr) {
      dnc->addObserver(group + notificationNameSuffix,
                       [](const std::string& name) { shared().onRemoteChange(name); });
    }
  }

 private:
  GlobalDefaultNotificationGateway()
      : log(ModuleLogger::default_("GN")),
        postQueue(NSBundle::reverseDNSPrefix() + ".swift.ud.global", DispatchQoS::default_, DispatchQueue::main()) {
    NotificationCenter::defaultCenter().addObserver(NSUserDefaults::didChangeNotification, nullptr, std::nullopt,
                                                    [this](const Notification& n) { onLocalChange(n); });
    dnc = DistributedNotificationCenter::getCenter();
    if (dnc == nullptr) log->error("failed to get distributed notification center!");
  }

  void onLocalChange(const Notification& notification) {
    auto* suite = notification.objectAs<NSUserDefaults>();
    if (suite == nullptr) return;
    auto* emitter = notification.userInfoValue<GlobalDefaultNotificationGateway*>(groupdefaults::emitterKey);
    if (emitter != nullptr && *emitter == this) return;  // our own re-post of a remote change
    onDefaultsChange(*suite);
  }

  void onDefaultsChange(NSUserDefaults& suite) {
    auto group = suite.qvGroupName();
    if (!group) group = unrecordedGroup(suite);
    if (!group) return;  // suites without a group (the standard one) are never relayed
    postQueue.async([this, group = *group] {
      if (pendingPosts.count(group) != 0) return;
      log->trace("send change for group:", group);
      pendingPosts.insert(group);
      if (currentPostItem) currentPostItem->cancel();
      currentPostItem = std::make_shared<DispatchWorkItem>([this] { postPending(); });
      postQueue.asyncAfter(notifyDelay, currentPostItem);
    });
  }

  std::optional<std::string> unrecordedGroup(const NSUserDefaults& suite) {
    std::lock_guard<std::mutex> guard(lock);
    for (const auto& [entry, group] : unrecordedSuites) {
      if (auto known = entry.lock(); known.get() == &suite) return group;
    }
    return std::nullopt;
  }

  // On postQueue, when the batch is due.
  void postPending() {
    if (pendingPosts.empty()) return;
    std::set<std::string> groups;
    groups.swap(pendingPosts);
    for (const auto& group : groups) {
      DispatchQueue::global(DispatchQoS::utility).async([this, group] {
        if (dnc != nullptr) dnc->post(group + notificationNameSuffix);
      });
    }
  }

  void onRemoteChange(const std::optional<std::string>& name) {
    if (!name) {
      log->error("received remote notification w/o name?!");
      return;
    }
    std::string group;
    if (name->size() >= notificationNameSuffix.size() &&
        name->compare(name->size() - notificationNameSuffix.size(), notificationNameSuffix.size(),
                      notificationNameSuffix) == 0) {
      group = name->substr(0, name->size() - notificationNameSuffix.size());
      log->log("received remote defaults change:", *name, group);
    } else {
      log->warn("received remote defaults change w/o proper name:", *name);
      group = *name;
    }
    std::vector<std::shared_ptr<NSUserDefaults>> suites;
    {
      std::lock_guard<std::mutex> guard(lock);
      auto found = registeredGroups.find(group);
      if (found != registeredGroups.end()) {
        std::erase_if(found->second, [](const std::weak_ptr<NSUserDefaults>& entry) { return entry.expired(); });
        for (const auto& entry : found->second) {
          if (auto suite = entry.lock()) suites.push_back(std::move(suite));
        }
      }
    }
    if (suites.empty()) {
      log->log("no defaults registered for remote defaults change:", *name);
      return;
    }
    for (const auto& suite : suites) {
      NotificationCenter::defaultCenter().post(Notification(
          NSUserDefaults::didChangeNotification, suite.get(), {{groupdefaults::emitterKey, std::any(this)}}));
    }
  }

  const std::shared_ptr<ModuleLogger> log;
  DistributedNotificationCenter* dnc = nullptr;
  const std::string notificationNameSuffix = groupdefaults::notificationNameSuffix;
  std::mutex lock;
  // The suites opened in this process per group, while their openers keep them.
  std::map<std::string, std::vector<std::weak_ptr<NSUserDefaults>>> registeredGroups;
  // Suites relayed under a group that is not recorded in them.
  std::vector<std::pair<std::weak_ptr<NSUserDefaults>, std::string>> unrecordedSuites;
  DispatchQueue postQueue;
  // Touched only on postQueue.
  std::set<std::string> pendingPosts;
  std::shared_ptr<DispatchWorkItem> currentPostItem;
  const double notifyDelay = 0.2;
};

// Records the group in a suite that does not know it yet; a different recorded group stays.
void persistGroupName(const std::shared_ptr<NSUserDefaults>& suite, const std::string& group) {
  auto stored = suite->qvGroupName();
  if (stored && !stored->empty()) {
    if (*stored != group) {
      console::warn("QvDefaults: default name mismatch", "expected:", group, "set:", *stored);
    }
    return;
  }
  DispatchQueue::main().async([suite, group] { suite->set(group, NSUserDefaults::QvDefaultGroupNameKey); });
}

}  // namespace

void groupdefaults::relay(const std::shared_ptr<NSUserDefaults>& suite, const std::string& group) {
  if (suite && !group.empty()) GlobalDefaultNotificationGateway::shared().relayUnrecorded(suite, group);
}

std::optional<std::string> NSUserDefaults::qvGroupName() { return string(QvDefaultGroupNameKey); }

std::shared_ptr<NSUserDefaults> NSUserDefaults::defaults(const std::optional<std::string>& forGroup) {
  if (!forGroup || forGroup->empty()) return nullptr;
  const std::string suiteName = NSBundle::mainTeamIdentifierPrefix() + *forGroup;
  auto suite = fromSuiteName(suiteName);
  if (!suite) {
    console::warn(std::string("defaults(forGroup:)") + " did not find app-group defaults: " + suiteName);
    return standard();
  }
  persistGroupName(suite, *forGroup);
  GlobalDefaultNotificationGateway::shared().registerForRemoteNotifications(suite, *forGroup);
  return suite;
}
