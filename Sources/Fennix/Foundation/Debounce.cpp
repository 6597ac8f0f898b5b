#include "Fennix/Foundation/Debounce.h"

namespace Fennix {

namespace {

class QueueScheduler final : public DelayScheduler {
 public:
  explicit QueueScheduler(DispatchQueue queue) : queue_(std::move(queue)) {}
  double now() const override {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  }
  void async(const std::shared_ptr<DispatchWorkItem>& item) override { queue_.async(item); }
  void asyncAfter(double seconds, const std::shared_ptr<DispatchWorkItem>& item) override {
    queue_.asyncAfter(seconds, item);
  }

 private:
  DispatchQueue queue_;
};

}  // namespace

std::shared_ptr<DelayScheduler> queueScheduler(const DispatchQueue& queue) {
  return std::make_shared<QueueScheduler>(queue);
}

}  // namespace Fennix

std::function<void()> debounce(std::chrono::duration<double> delay, const DispatchQueue& queue,
                               std::function<void()> execute) {
  return Fennix::debounce<>(delay.count(), Fennix::queueScheduler(queue), std::move(execute));
}

std::function<void()> throttle(double delay, const DispatchQueue& queue, std::function<void()> execute) {
  return Fennix::throttle<>(delay, Fennix::queueScheduler(queue), std::move(execute));
}
