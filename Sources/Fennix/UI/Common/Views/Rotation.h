// The state of an endless spin of a view, evaluated per frame. Angles are in radians in the
// y-up space of the model: a negative angle turns clockwise on screen. The spin runs ten thousand
// turns and then ends; stopped, the view rests where it was.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace Fennix {

/// The text under which a view's spin is known: the reverse-DNS prefix and ".view.rotation".
std::string rotationAnimationKey();

/// Seconds on a monotonic clock; tests put a fake clock in place.
using RotationClock = std::function<double()>;
RotationClock& rotationClock();

class RotationState {
 public:
  enum class Direction { forward, backward };

  /// Ten thousand full turns, as a single-precision number.
  static constexpr float turnsAngle = 62831.85f;

  /// Starts a spin of `speed` seconds per turn from the resting angle; a running spin is left as
  /// it is. Whether a spin started.
  bool start(double speed, Direction direction, double now);
  /// Stops a spin at the angle it shows at `now`, which becomes the resting angle.
  void stop(double now);
  /// The angle shown at `now`.
  double angle(double now) const;
  /// Whether a spin runs at `now` (it ends after ten thousand turns).
  bool isRunning(double now) const;
  double restingAngle() const { return resting_; }

 private:
  struct Spin {
    double from = 0, to = 0, startTime = 0, duration = 0;
  };
  std::optional<Spin> spin_;
  double resting_ = 0;
};

}  // namespace Fennix
