// The base of operations that talk to an HTTP server: any number of requests through one
// session, each kept as a transaction while it runs; every completed request is sorted into a
// result, a redirect or an error for an overridable handler, and the operation finishes by itself
// once the last transaction completed and its handler returned. Subclasses enqueue and resume
// their first requests in `asyncMain` and override the handlers.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>

#include "Fennix/Operations/HTTP/URLSession.h"
#include "Fennix/Operations/AsyncOperation.h"
#include "Fennix/console/ModuleLogger.h"

class QvHTTPFetchOperation : public QvAsyncOperation {
 public:
  /// One request of the operation; it keeps the operation alive until its task completed.
  class HTTPTransaction {
   public:
    HTTPTransaction(URLRequest sent, std::shared_ptr<QvHTTPFetchOperation> owner)
        : request(std::move(sent)), operation(std::move(owner)) {}
    const URLRequest request;
    const std::shared_ptr<QvHTTPFetchOperation> operation;
    std::shared_ptr<URLSessionDataTask> task;
    std::shared_ptr<HTTPURLResponse> response;
    std::string description() const;
  };

  /// An unusable HTTP status, carrying its code.
  class HTTPStatusError : public Fennix::Error {
   public:
    enum class Kind { informational, redirect, client, server, other };
    /// 100–199 informational, 300–399 redirect, 400–499 client, 500–599 server, else other.
    explicit HTTPStatusError(long statusCode);
    Kind kind() const { return kind_; }
    long statusCode() const { return statusCode_; }
    std::string description() const override;

   private:
    Kind kind_;
    long statusCode_;
  };

  /// A response that is not an HTTP response.
  class HTTPOtherError : public Fennix::Error {
   public:
    explicit HTTPOtherError(std::shared_ptr<URLResponse> received) : response(std::move(received)) {}
    /// `unexpectedResponseObject`: the response received.
    const std::shared_ptr<URLResponse> response;
    std::string description() const override;
  };

  /// The argument of `handleError`.
  struct HTTPTransactionError {
    std::shared_ptr<HTTPTransaction> transaction;
    Fennix::ErrorRef error;
  };

  QvHTTPFetchOperation(URL baseURL, std::shared_ptr<URLSession> session);

  std::shared_ptr<ModuleLogger> log;
  /// Set once, by the first `start()`, under the operation's lock.
  std::optional<Fennix::Date> startDate;
  int requestCount = 0;
  const std::shared_ptr<URLSession> session;
  const URL baseURL;

  std::optional<Fennix::Date> endDate() const;
  void setEndDate(std::optional<Fennix::Date> date);
  /// Seconds from `startDate` to `endDate`; none while either is missing.
  std::optional<double> duration() const;
  std::size_t activeRequestCount() const;

  /// Starts once: a second call only warns. The operation does not end while `asyncMain` runs;
  /// when it returns, the operation ends if its requests have all completed meanwhile or it was
  /// cancelled with none in flight. Cancelled before the start, it runs no work and ends once the
  /// requests enqueued before (their tasks cancelled) have completed.
  void start() override;
  /// Ends the operation once: sets the state and `endDate`.
  void finish() override;
  /// Cancels the tasks of the running transactions; with none running, no handler running and
  /// `asyncMain` over, ends the operation.
  void asyncCancel() override;

  /// Registers a transaction and returns its task, not yet resumed; nothing to resume for a
  /// cancelled operation.
  virtual std::shared_ptr<QvResumable> enqueue(const URLRequest& request);

  /// Sorts a completed request into exactly one of the three handlers below.
  virtual void handleDataTaskResult(const std::optional<Fennix::Data>& data, const std::shared_ptr<URLResponse>& response,
                                    const Fennix::ErrorRef& error, const std::shared_ptr<HTTPTransaction>& transaction);
  virtual void handleResult(const std::optional<Fennix::Data>& data, const std::shared_ptr<HTTPURLResponse>& response);
  virtual void handleRedirect(const URLRequest& request, const URL& to);
  virtual void handleError(const HTTPTransactionError& error);

  std::string description() const override;

 private:
  bool startCancelledWithRequests();
  /// No transaction runs and no handler of one. Called with `lock_` held.
  bool idle() const { return runningTransactions_.empty() && handlersRunning_ == 0; }

  mutable std::mutex lock_;  // startDate, endDate_, the transactions and the flags below
  std::optional<Fennix::Date> endDate_;
  std::map<const HTTPTransaction*, std::shared_ptr<HTTPTransaction>> runningTransactions_;
  std::size_t handlersRunning_ = 0;  // completed transactions whose handler has not returned
  bool mainRunning_ = false;     // `asyncMain` has not returned yet
  bool finishAfterMain_ = false;  // the last transaction completed while it ran
};
