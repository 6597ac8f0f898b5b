// Connections to named services of other processes, carried over the D-Bus session bus. A
// service is a bus name; each side offers one interface (a bus interface name with its
// description) at an object path. The connection reports the service going away
// (interruption: its bus name vanished) and the end of the connection (invalidation: the bus
// connection closed or `invalidate` was called). Events arrive on the main context of the thread
// that called `resume`.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "Platform/TypeName.h"
#include "Fennix/Foundation/BaseTypes/FatalError.h"

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GVariant GVariant;

class NSXPCConnection;

/// The failure of a call to the other side.
class NSXPCError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// What one side offers to the other side's calls.
class NSXPCProxy {
 public:
  struct Binding {
    GDBusConnection* connection = nullptr;  // kept by the proxy
    std::string serviceName;
    std::string objectPath;
    std::string interfaceName;
    std::function<void(const NSXPCError&)> errorHandler;
  };

  explicit NSXPCProxy(Binding binding);
  virtual ~NSXPCProxy();
  NSXPCProxy(const NSXPCProxy&) = delete;
  NSXPCProxy& operator=(const NSXPCProxy&) = delete;

  /// "<NSXPCProxy service path interface>".
  std::string description() const;

  /// Calls `method` of the remote interface with `parameters` (a tuple, floating references
  /// are taken); the reply tuple reaches `reply`, a failure the error handler.
  void call(const std::string& method, GVariant* parameters, std::function<void(GVariant* reply)> reply = {}) const;

 private:
  Binding binding_;
};

/// An interface of one side: its bus name, object path and description (introspection XML), and
/// for the remote side the kind of proxy that stands for it here.
struct NSXPCInterface {
  std::string name;
  std::string objectPath;
  std::string introspectionXML;
  std::function<std::shared_ptr<NSXPCProxy>(NSXPCProxy::Binding)> makeProxy;

  /// An interface named `name` at the object path made of its name ("a.b.C" at "/a/b/C").
  static NSXPCInterface withProtocol(std::string name, std::string introspectionXML,
                                     std::function<std::shared_ptr<NSXPCProxy>(NSXPCProxy::Binding)> makeProxy = {});
};

/// The object that answers the other side's calls of the exported interface.
class NSXPCDispatcher {
 public:
  virtual ~NSXPCDispatcher() = default;
  /// Answers a call with a reply tuple (none for no values), or throws `NSXPCError`.
  virtual GVariant* handleMethodCall(const std::string& method, GVariant* parameters) = 0;
};

class NSXPCConnection : public std::enable_shared_from_this<NSXPCConnection> {
 public:
  using Handler = std::function<void(NSXPCConnection&)>;

  /// A connection to the service `serviceName` that calls `outbound` of the service and offers
  /// `inbound` through `dispatcher`. Its handlers log: an interruption at level log ("XPC
  /// connection got interrupted:"), an invalidation as an error ("XPC connection was
  /// invalidated:"), each with the service name and the connection. Not resumed yet.
  static std::shared_ptr<NSXPCConnection> make(const std::string& serviceName, NSXPCInterface outbound,
                                               NSXPCInterface inbound, std::shared_ptr<NSXPCDispatcher> dispatcher);
  explicit NSXPCConnection(std::string serviceName);
  ~NSXPCConnection();
  NSXPCConnection(const NSXPCConnection&) = delete;
  NSXPCConnection& operator=(const NSXPCConnection&) = delete;

  const std::string& serviceName() const { return serviceName_; }
  /// "<NSXPCConnection service>".
  std::string description() const;

  std::optional<NSXPCInterface> remoteObjectInterface;
  std::optional<NSXPCInterface> exportedInterface;
  std::shared_ptr<NSXPCDispatcher> exportedObject;
  Handler interruptionHandler;
  Handler invalidationHandler;

  /// Replace the handlers by `execute`.
  void onInterruption(Handler execute) { interruptionHandler = std::move(execute); }
  void onInvalidation(Handler execute) { invalidationHandler = std::move(execute); }

  /// Connects to the session bus, offers the exported object and starts watching the service.
  /// A failure to connect invalidates the connection.
  void resume();
  /// Ends the connection; the invalidation handler runs once.
  void invalidate();
  bool isValid() const;
  /// Whether the service's bus name has an owner now.
  bool isServiceRunning() const;

  /// The proxy of the remote object, made by the remote interface, typed as `T`. A proxy that is
  /// not a `T` is a programming error: the process stops with "could not type service …".
  template <typename T>
  std::shared_ptr<T> proxy(std::function<void(const NSXPCError&)> errorHandler) {
    std::shared_ptr<NSXPCProxy> remote = remoteObjectProxy(std::move(errorHandler));
    std::shared_ptr<T> typed = std::dynamic_pointer_cast<T>(remote);
    if (!typed) {
      Fennix::fatalError("could not type service " + remote->description() + " as " + Fennix::typeName<T>());
    }
    return typed;
  }

  /// The proxy of the remote object as the remote interface makes it.
  std::shared_ptr<NSXPCProxy> remoteObjectProxy(std::function<void(const NSXPCError&)> errorHandler);

 private:
  friend struct NSXPCConnectionEvents;
  struct State;
  void interrupted();
  void invalidated();

  const std::string serviceName_;
  std::unique_ptr<State> state_;
};
