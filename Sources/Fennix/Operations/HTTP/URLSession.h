// A URL session over libcurl: data tasks are created suspended and started by `resume()`; the
// transfers of a session run side by side on a thread of the session's own (never on the global
// queues, so slow servers hold up nothing else) and their completions are delivered on the
// session's delivery queue. Loading failures are `NSError`s of "NSURLErrorDomain" with the platform's codes.
// Cookies are taken from and stored into the session's cookie store (each request of a transfer,
// redirects included, carries those that match its URL, and a request whose head would grow too
// long for them fails before it is sent); redirects are followed as HTTP says unless switched off. A request whose
// method or header fields would break its lines fails before anything is sent. Response header
// names are stored in Title-Case. A response whose head libcurl could read otherwise than the
// session (a status line not as HTTP writes it, a folded field that libcurl reads itself) fails
// with `badServerResponse`.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>

#include <nlohmann/json.hpp>

#include "Fennix/Foundation/HTTP/HTTPTypes.h"
#include "Fennix/Operations/Operation.h"
#include "Platform/Dispatch.h"

/// Codes of URL loading errors.
namespace URLErrorCode {
inline constexpr long unknown = -1;
inline constexpr long cancelled = -999;
inline constexpr long badURL = -1000;
inline constexpr long timedOut = -1001;
inline constexpr long unsupportedURL = -1002;
inline constexpr long cannotFindHost = -1003;
inline constexpr long cannotConnectToHost = -1004;
inline constexpr long networkConnectionLost = -1005;
inline constexpr long httpTooManyRedirects = -1007;
inline constexpr long notConnectedToInternet = -1009;
inline constexpr long badServerResponse = -1011;
inline constexpr long cannotDecodeContentData = -1016;
inline constexpr long cannotParseResponse = -1017;
inline constexpr long internationalRoamingOff = -1018;
inline constexpr long callIsActive = -1019;
inline constexpr long appTransportSecurityRequiresSecureConnection = -1022;
inline constexpr long dataLengthExceedsMaximum = -1103;
inline constexpr long secureConnectionFailed = -1200;
}  // namespace URLErrorCode

class URLSession;
class URLSessionDriver;

class URLSessionDataTask : public QvResumable, public std::enable_shared_from_this<URLSessionDataTask> {
 public:
  using CompletionHandler =
      std::function<void(std::optional<Fennix::Data>, std::shared_ptr<URLResponse>, Fennix::ErrorRef)>;
  enum class State { suspended, running, completed };

  URLSessionDataTask(std::shared_ptr<URLSession> session, URLRequest request, CompletionHandler completion);

  /// Starts the transfer (once); later calls do nothing.
  void resume() override;
  /// Ends the transfer with the error `cancelled`. A task not yet resumed completes so at once (on
  /// the delivery queue), and resuming it later does nothing.
  void cancel();
  State state() const { return state_.load(); }
  const URLRequest& originalRequest() const { return request_; }

 private:
  friend class URLSessionDriver;

  std::shared_ptr<URLSession> session_;
  const URLRequest request_;
  CompletionHandler completion_;
  std::atomic<State> state_{State::suspended};
  std::atomic<bool> cancelled_{false};
};

class URLSession : public std::enable_shared_from_this<URLSession> {
 public:
  struct Configuration {
    /// Whether redirects are followed (at most 16 in a row, to http and https only): after 303
    /// with GET (HEAD stays HEAD), after 301 and 302 a POST with GET, else with the same method
    /// and content; the request's "Authorization" and "Cookie" fields go to its own origin only.
    bool followRedirects = true;
    std::shared_ptr<HTTPCookieStorage> cookieStorage = HTTPCookieStorage::shared();
    /// Bodies larger than this fail with `dataLengthExceedsMaximum`.
    std::size_t maximumBodySize = 256u * 1024 * 1024;
  };

  /// A session; completions are delivered on `delegateQueue` (a new serial queue when none).
  URLSession();
  explicit URLSession(Configuration configuration, std::optional<DispatchQueue> delegateQueue = std::nullopt);
  static const std::shared_ptr<URLSession>& shared();

  const Configuration& configuration() const { return configuration_; }
  const DispatchQueue& delegateQueue() const { return delegateQueue_; }

  /// A suspended task for the request.
  std::shared_ptr<URLSessionDataTask> dataTask(const URLRequest& request, URLSessionDataTask::CompletionHandler completion);

  /// Sorts loading errors into what a user interface tells apart.
  class QvError : public Fennix::Error {
   public:
    enum class ConnectErrorReason {
      cannotFindHost,
      callIsActive,
      notConnectedToInternet,
      roamingOff,
      badServerResponse,
      cannotParseResponse,
      secureConnectionFailed,
      appTransportSecurity
    };
    struct CannotConnect {
      ConnectErrorReason reason;
    };
    struct ServerError {
      long code;
    };
    struct Other {
      Fennix::ErrorRef error;
    };
    struct Timeout {};
    struct Cancelled {};
    using Value = std::variant<CannotConnect, ServerError, Other, Timeout, Cancelled>;

    explicit QvError(Value value) : value_(std::move(value)) {}
    /// The class of any error (none gives `other` without payload), by its code alone.
    static QvError classify(const Fennix::ErrorRef& error);

    const Value& value() const { return value_; }
    template <typename Case>
    bool is() const { return std::holds_alternative<Case>(value_); }
    std::string description() const override;

   private:
    Value value_;
  };

  class QvJSONError : public Fennix::Error {
   public:
    struct NoContent {
      std::shared_ptr<URLResponse> response;
    };
    struct ParseError {
      Fennix::ErrorRef error;
    };
    using Value = std::variant<NoContent, ParseError>;

    explicit QvJSONError(Value value) : value_(std::move(value)) {}
    const Value& value() const { return value_; }
    template <typename Case>
    bool is() const { return std::holds_alternative<Case>(value_); }
    std::string description() const override;

   private:
    Value value_;
  };

  using JSONHandler = std::function<void(Fennix::ErrorRef, std::optional<nlohmann::json>)>;
  /// A suspended task that delivers exactly one of an error or the body parsed as JSON (an array
  /// or an object; a 4xx or 5xx body too, after a log line), on `queue` when one is given. A body
  /// with more than white space after its value, or nested deeper than 512, is a parse error.
  std::shared_ptr<URLSessionDataTask> jsonTask(const URLRequest& request, std::optional<DispatchQueue> queue,
                                               JSONHandler completionHandler);

 private:
  friend class URLSessionDataTask;
  Configuration configuration_;
  DispatchQueue delegateQueue_;
  std::shared_ptr<URLSessionDriver> driver_;
};
