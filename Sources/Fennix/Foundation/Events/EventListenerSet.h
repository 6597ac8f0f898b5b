// Event listener sets: an owner registers listeners (objects wrapping a closure) for values of
// one type and emits values to them. Listeners are permanent or called once, and call their
// closure directly or on a dispatch queue of their own. The asynchronous set does all of its work
// on one serial queue. `ChangeObservableObject` gives a type a change event built on such a set.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "Fennix/Foundation/BaseTypes/FatalError.h"
#include "Platform/TypeName.h"
#include "Platform/Dispatch.h"

namespace Fennix {
template <typename T>
struct IsSharedPointerType : std::false_type {};
template <typename T>
struct IsSharedPointerType<std::shared_ptr<T>> : std::true_type {};
}  // namespace Fennix

/// The token handed to subscribers and taken back by `removeEventListener`.
class ListenerType {
 public:
  virtual ~ListenerType() = default;
  /// "<", the listener's type name, ">".
  virtual std::string description() const { return "<" + Fennix::typeName(typeid(*this)) + ">"; }
};

template <typename T>
class GListenerType : public ListenerType {
 public:
  using EventHandlerValue = T;
  virtual void emit(const T& value) = 0;
};

template <typename T>
class Listener : public GListenerType<T> {
 public:
  void emit(const T&) override { Fennix::fatalError("subclassResponsibility: emit(_:)"); }
};

/// Calls its closure with the value, on the emitting thread.
template <typename T>
class CallbackListener : public Listener<T> {
 public:
  explicit CallbackListener(std::function<void(const T&)> callback) : cb(std::move(callback)) {}
  void emit(const T& value) override { cb(value); }

  const std::function<void(const T&)> cb;
};

/// Submits its closure with a copy of the value to its queue.
template <typename T>
class QueueBoundListener : public Listener<T> {
 public:
  QueueBoundListener(DispatchQueue target, std::function<void(const T&)> listener)
      : queue(std::move(target)), cb(std::move(listener)) {}
  void emit(const T& value) override {
    auto callback = cb;
    queue.async([callback, value] { callback(value); });
  }

  const DispatchQueue queue;
  const std::function<void(const T&)> cb;
};

/// A registry of listeners, used from one thread (or one serial queue) at a time.
template <typename T>
class EventListenerSet : public std::enable_shared_from_this<EventListenerSet<T>> {
 public:
  using ListenerRef = std::shared_ptr<Listener<T>>;
  using AddCallback = std::function<void(EventListenerSet&, const ListenerRef&)>;

  explicit EventListenerSet(AddCallback addListener = nullptr) : cbAdd(std::move(addListener)) {}
  EventListenerSet(const EventListenerSet&) = delete;
  EventListenerSet& operator=(const EventListenerSet&) = delete;
  virtual ~EventListenerSet() = default;

  /// The permanent listeners and the listeners of the next emit, in the order added.
  std::vector<ListenerRef> listeners;
  std::vector<ListenerRef> once;

  /// Calls the once-listeners (taken out of the set first), then the permanent ones.
  virtual void emit(const T& value) {
    auto onceListeners = std::exchange(once, {});
    for (const auto& listener : onceListeners) listener->emit(value);
    // Read anew: a permanent listener added by a once-listener is called too; one added now,
    // while the permanent listeners are called, waits for the next emit.
    auto permanent = listeners;
    for (const auto& listener : permanent) listener->emit(value);
  }

  virtual void addEventListener(const ListenerRef& listener, bool isOnce) {
    if (!listener) return;
    (isOnce ? once : listeners).push_back(listener);
    if (cbAdd) cbAdd(*this, listener);
  }

  /// Removes one entry that is the very same listener: from the permanent ones first.
  virtual void removeEventListener(const std::shared_ptr<ListenerType>& listener) {
    if (!listener) return;
    auto identical = [&](const ListenerRef& entry) { return static_cast<ListenerType*>(entry.get()) == listener.get(); };
    if (auto found = std::find_if(listeners.begin(), listeners.end(), identical); found != listeners.end()) {
      listeners.erase(found);
      return;
    }
    if (auto found = std::find_if(once.begin(), once.end(), identical); found != once.end()) once.erase(found);
  }

  ListenerRef on(std::function<void(const T&)> cb) { return add(std::make_shared<CallbackListener<T>>(std::move(cb)), false); }
  ListenerRef once_(std::function<void(const T&)> cb) {
    return add(std::make_shared<CallbackListener<T>>(std::move(cb)), true);
  }
  ListenerRef on(const DispatchQueue& queue, std::function<void(const T&)> cb) {
    return add(std::make_shared<QueueBoundListener<T>>(queue, std::move(cb)), false);
  }
  ListenerRef once_(const DispatchQueue& queue, std::function<void(const T&)> cb) {
    return add(std::make_shared<QueueBoundListener<T>>(queue, std::move(cb)), true);
  }

  virtual void appendToDescription(std::string& text) const {
    if (listeners.empty() && once.empty()) {
      text += " EMPTY";
    } else if (listeners.size() == 1 && once.empty()) {
      text += " single-listener=" + listeners.front()->description();
    } else if (once.size() == 1 && listeners.empty()) {
      text += " single-once=" + once.front()->description();
    } else {
      text += " listeners=#" + std::to_string(listeners.size()) + " once=#" + std::to_string(once.size());
    }
    if (cbAdd) text += " [add]";
  }

  /// The prefix of the description: the set's type name.
  virtual std::string descriptionPrefix() const { return Fennix::typeName(typeid(*this)); }

  std::string description() const {
    std::string text = "<" + descriptionPrefix();
    appendToDescription(text);
    return text + ">";
  }

  const AddCallback cbAdd;

 private:
  ListenerRef add(ListenerRef listener, bool isOnce) {
    addEventListener(listener, isOnce);
    return listener;
  }
};

/// A set that emits, adds and removes on its serial queue: each call returns at once, and its
/// work is done later, in call order.
template <typename T>
class AsyncEventListenerSet : public EventListenerSet<T> {
  using Base = EventListenerSet<T>;

 public:
  explicit AsyncEventListenerSet(DispatchQueue queue, typename Base::AddCallback addListener = nullptr)
      : Base(std::move(addListener)), Q(std::move(queue)) {}

  void emit(const T& value) override {
    auto self = selfReference();
    Q.async([self, value] { self->Base::emit(value); });
  }
  void addEventListener(const typename Base::ListenerRef& listener, bool isOnce) override {
    auto self = selfReference();
    Q.async([self, listener, isOnce] { self->Base::addEventListener(listener, isOnce); });
  }
  void removeEventListener(const std::shared_ptr<ListenerType>& listener) override {
    auto self = selfReference();
    Q.async([self, listener] { self->Base::removeEventListener(listener); });
  }

  void appendToDescription(std::string& text) const override {
    Base::appendToDescription(text);
    text += " Q=<DispatchQueue: " + Q.label() + ">";
  }

  const DispatchQueue Q;

 private:
  std::shared_ptr<AsyncEventListenerSet> selfReference() {
    auto self = this->weak_from_this().lock();
    if (!self) Fennix::fatalError("AsyncEventListenerSet must be owned by a shared pointer");
    return std::static_pointer_cast<AsyncEventListenerSet>(self);
  }
};

/// Objects with a change event.
template <typename Payload>
class ChangeObservableObject {
 public:
  virtual ~ChangeObservableObject() = default;

  virtual EventListenerSet<Payload>& changeListeners() = 0;

  virtual void emitChange(const Payload& payload) { changeListeners().emit(payload); }
  virtual std::shared_ptr<ListenerType> onChange(std::function<void(const Payload&)> execute) {
    return changeListeners().on(std::move(execute));
  }
  virtual void removeListener(const std::shared_ptr<ListenerType>& listener) {
    changeListeners().removeEventListener(listener);
  }

  /// A listener that ignores the payload (for payloads that are objects).
  std::shared_ptr<ListenerType> onChange(std::function<void()> execute)
    requires(std::is_pointer_v<Payload> || Fennix::IsSharedPointerType<Payload>::value)
  {
    return onChange(std::function<void(const Payload&)>([execute](const Payload&) { execute(); }));
  }

  /// Emits the empty payload, or the object itself where the payload is the object.
  void emitChange()
    requires(std::is_same_v<Payload, std::tuple<>> || Fennix::IsSharedPointerType<Payload>::value)
  {
    if constexpr (std::is_same_v<Payload, std::tuple<>>) {
      emitChange(std::tuple<>());
    } else {
      using Object = typename Payload::element_type;
      if (auto* object = dynamic_cast<Object*>(this)) {
        if constexpr (requires { object->shared_from_this(); }) {
          emitChange(std::static_pointer_cast<Object>(object->shared_from_this()));
        }
      }
    }
  }
};
