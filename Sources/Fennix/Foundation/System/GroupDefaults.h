// Application-group defaults and the relay of their changes between processes.
//
// `NSUserDefaults::defaults(forGroup:)` opens the suite of a group and registers it with one
// process-wide relay. Every change of a registered suite is announced, batched for 0.2 seconds,
// as the cross-process notification "<group>.defaults.changed"; every process that receives it
// posts `NSUserDefaults::didChangeNotification` for each of its suites of that group, with
// { "QvEmitter": the relay } as user information, which the relay itself never re-announces.
#pragma once

#include <memory>
#include <string>

#include "Fennix/Foundation/UserDefaults.h"

namespace groupdefaults {

/// The user-information key that marks a change notification re-posted by the relay.
inline const std::string emitterKey = "QvEmitter";
/// The cross-process notification of a group is the group name followed by this suffix.
inline const std::string notificationNameSuffix = ".defaults.changed";

/// Relays the changes of `suite` like those of a suite of `group`, without recording the group
/// in it: for suites whose keys are all their owner's (the cloud key-value store's). The relay
/// holds the suite weakly.
void relay(const std::shared_ptr<NSUserDefaults>& suite, const std::string& group);

}  // namespace groupdefaults
