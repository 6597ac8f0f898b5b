#include "Fennix/UI/Common/Views/Rotation.h"

#include <algorithm>
#include <chrono>

#include "Fennix/Foundation/System/Bundle.h"

namespace Fennix {

std::string rotationAnimationKey() { return NSBundle::reverseDNSPrefix() + ".view.rotation"; }

RotationClock& rotationClock() {
  static RotationClock clock = [] {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
  };
  return clock;
}

bool RotationState::start(double speed, Direction direction, double now) {
  if (isRunning(now)) return false;
  if (!(speed > 0)) return false;  // a spin needs time for a turn
  const double target = direction == Direction::forward ? -double(turnsAngle) : double(turnsAngle);
  spin_ = Spin{resting_, resting_ + target, now, speed * 10000};
  return true;
}

void RotationState::stop(double now) {
  if (!spin_) return;
  resting_ = angle(now);
  spin_.reset();
}

bool RotationState::isRunning(double now) const {
  return spin_ && now - spin_->startTime < spin_->duration;
}

double RotationState::angle(double now) const {
  if (!isRunning(now)) return resting_;  // an ended spin shows the model angle again
  const double progress = std::max(0.0, now - spin_->startTime) / spin_->duration;
  return spin_->from + (spin_->to - spin_->from) * progress;
}

}  // namespace Fennix
