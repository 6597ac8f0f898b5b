// Observable objects and published properties: subscribers are told before an object changes
// (will-change) and, per property, before and after a new value is stored.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

/// Ends a subscription when cancelled or destroyed. Move-only.
class AnyCancellable {
 public:
  AnyCancellable() = default;
  explicit AnyCancellable(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
  AnyCancellable(AnyCancellable&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
  AnyCancellable& operator=(AnyCancellable&& other) noexcept {
    if (this != &other) {
      cancel();
      cancel_ = std::exchange(other.cancel_, nullptr);
    }
    return *this;
  }
  AnyCancellable(const AnyCancellable&) = delete;
  AnyCancellable& operator=(const AnyCancellable&) = delete;
  ~AnyCancellable() { cancel(); }

  void cancel() {
    if (auto cancel = std::exchange(cancel_, nullptr)) cancel();
  }

 private:
  std::function<void()> cancel_;
};

/// A list of subscribers that `send` calls in subscription order, on the sending thread.
/// Subscribers may subscribe or cancel from inside their call; a subscription cancelled during
/// a send is not called afterwards.
template <typename... Args>
class Subject {
 public:
  using Subscriber = std::function<void(const Args&...)>;

  Subject() = default;
  Subject(const Subject&) = delete;
  Subject& operator=(const Subject&) = delete;

  [[nodiscard]] AnyCancellable sink(Subscriber subscriber) {
    auto entry = std::make_shared<Entry>(std::move(subscriber));
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      state_->entries.push_back(entry);
    }
    std::weak_ptr<State> weakState = state_;
    std::weak_ptr<Entry> weakEntry = entry;
    return AnyCancellable([weakState, weakEntry] {
      auto state = weakState.lock();
      auto cancelled = weakEntry.lock();
      if (!cancelled) return;
      cancelled->active = false;
      if (!state) return;
      std::lock_guard<std::mutex> lock(state->mutex);
      std::erase(state->entries, cancelled);
    });
  }

  void send(const Args&... args) const {
    std::vector<std::shared_ptr<Entry>> entries;
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      entries = state_->entries;
    }
    for (const auto& entry : entries) {
      if (entry->active) entry->subscriber(args...);
    }
  }

 private:
  struct Entry {
    explicit Entry(Subscriber s) : subscriber(std::move(s)) {}
    Subscriber subscriber;
    std::atomic<bool> active{true};
  };
  struct State {
    std::mutex mutex;
    std::vector<std::shared_ptr<Entry>> entries;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

/// Base of objects whose views observe them: `objectWillChange` fires before any published
/// property of the object is stored.
class ObservableObject {
 public:
  ObservableObject() = default;
  ObservableObject(const ObservableObject&) = delete;
  ObservableObject& operator=(const ObservableObject&) = delete;
  virtual ~ObservableObject() = default;

  Subject<>& objectWillChange() { return objectWillChange_; }

 private:
  Subject<> objectWillChange_;
};

/// A property whose every assignment is announced, equal value or not: first the owner's
/// `objectWillChange`, then `willSet` subscribers with the new value, then the value is stored,
/// then `didSet` subscribers with the stored value. The initial value is announced to nobody.
template <typename T>
class Published {
 public:
  explicit Published(ObservableObject* owner, T initial = T{}) : owner_(owner), value_(std::move(initial)) {}
  explicit Published(T initial = T{}) : value_(std::move(initial)) {}
  Published(const Published&) = delete;
  Published& operator=(const Published&) = delete;

  const T& get() const { return value_; }
  operator const T&() const { return value_; }

  void set(T value) {
    if (owner_ != nullptr) owner_->objectWillChange().send();
    willSet_.send(value);
    value_ = std::move(value);
    didSet_.send(value_);
  }
  Published& operator=(T value) {
    set(std::move(value));
    return *this;
  }

  /// Changes the value in place through `change`, announced as one assignment.
  template <typename Change>
  void modify(Change&& change) {
    T copy = value_;
    std::forward<Change>(change)(copy);
    set(std::move(copy));
  }

  Subject<T>& willSet() { return willSet_; }
  Subject<T>& didSet() { return didSet_; }

  /// The publisher of the property's values: `subscriber` gets the current value at once, then
  /// every new value before it is stored.
  [[nodiscard]] AnyCancellable sink(std::function<void(const T&)> subscriber) {
    subscriber(value_);
    return willSet_.sink(std::move(subscriber));
  }

 private:
  ObservableObject* owner_ = nullptr;
  T value_;
  Subject<T> willSet_;
  Subject<T> didSet_;
};
