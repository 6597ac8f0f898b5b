#include "Fennix/Operations/HTTP/HTTPFetchOperation.h"

#include "Fennix/console/Console.h"

namespace {

std::optional<std::string> dateText(const std::optional<Fennix::Date>& date) {
  if (!date) return std::nullopt;
  return Fennix::iso8601String(*date);
}

}  // namespace

std::string QvHTTPFetchOperation::HTTPTransaction::description() const {
  return "<HTTPTransaction " + request.httpMethod + " " + (request.url ? request.url->absoluteString() : std::string("<nil>")) + ">";
}

QvHTTPFetchOperation::HTTPStatusError::HTTPStatusError(long statusCode) : statusCode_(statusCode) {
  if (statusCode >= 100 && statusCode <= 199) {
    kind_ = Kind::informational;
  } else if (statusCode >= 300 && statusCode <= 399) {
    kind_ = Kind::redirect;
  } else if (statusCode >= 400 && statusCode <= 499) {
    kind_ = Kind::client;
  } else if (statusCode >= 500 && statusCode <= 599) {
    kind_ = Kind::server;
  } else {
    kind_ = Kind::other;
  }
}

std::string QvHTTPFetchOperation::HTTPStatusError::description() const {
  static const char* names[] = {"informational", "redirect", "client", "server", "other"};
  return std::string(names[static_cast<int>(kind_)]) + "(" + std::to_string(statusCode_) + ")";
}

std::string QvHTTPFetchOperation::HTTPOtherError::description() const {
  return "unexpectedResponseObject(" + (response ? response->description() : std::string("nil")) + ")";
}

QvHTTPFetchOperation::QvHTTPFetchOperation(URL base, std::shared_ptr<URLSession> urlSession)
    : log(std::make_shared<ModuleLogger>(console::defaultConsole(), "HTTP")),
      session(std::move(urlSession)),
      baseURL(std::move(base)) {}

std::optional<Fennix::Date> QvHTTPFetchOperation::endDate() const {
  std::lock_guard<std::mutex> guard(lock_);
  return endDate_;
}

void QvHTTPFetchOperation::setEndDate(std::optional<Fennix::Date> date) {
  std::lock_guard<std::mutex> guard(lock_);
  endDate_ = date;
}

std::optional<double> QvHTTPFetchOperation::duration() const {
  std::lock_guard<std::mutex> guard(lock_);
  if (!endDate_ || !startDate) return std::nullopt;
  return std::chrono::duration<double>(*endDate_ - *startDate).count();
}

std::size_t QvHTTPFetchOperation::activeRequestCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return runningTransactions_.size();
}

void QvHTTPFetchOperation::start() {
  // Test and set in one step: of two threads starting at once, one starts the operation and the
  // other only warns.
  std::optional<Fennix::Date> earlier;
  std::optional<Fennix::Date> now;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (startDate) {
      earlier = startDate;
    } else {
      startDate = Fennix::DateClock::now();
      now = startDate;
      mainRunning_ = true;
    }
  }
  if (earlier) {
    log->warn("operation already started at:", dateText(earlier), description());
    return;
  }
  log->trace("starting operation:", description(), "at:", dateText(now));
  if (isCancelled() && startCancelledWithRequests()) return;
  QvAsyncOperation::start();
  // `asyncMain` counts as running until here: requests it adds after others have completed
  // belong to the operation too.
  bool done = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    mainRunning_ = false;
    done = idle() && (finishAfterMain_ || isCancelled());
  }
  if (done) finish();
}

// Requests enqueued before the start count as running: a cancelled operation that has any does
// not end at once but executes, without its work, until their cancelled tasks have completed and
// their handlers returned.
bool QvHTTPFetchOperation::startCancelledWithRequests() {
  std::vector<std::shared_ptr<URLSessionDataTask>> tasks;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (idle()) return false;
    for (const auto& [key, transaction] : runningTransactions_) tasks.push_back(transaction->task);
  }
  setState(State::isExecuting);
  for (const auto& task : tasks) task->cancel();
  bool done = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    mainRunning_ = false;
    done = idle();
  }
  if (done) finish();
  return true;
}

void QvHTTPFetchOperation::finish() {
  {
    // Only the first call ends the operation, also when two threads finish at once.
    std::lock_guard<std::mutex> guard(lock_);
    if (endDate_) return;
    endDate_ = Fennix::DateClock::now();
  }
  // Logged before the state changes: an owner may free or change the operation as soon as it
  // sees it finished, so this thread touches nothing of it after that.
  log->trace("finished operation:", description(), "at:", dateText(endDate()), "took:", duration());
  QvAsyncOperation::finish();
}

void QvHTTPFetchOperation::asyncCancel() {
  std::vector<std::shared_ptr<URLSessionDataTask>> tasks;
  bool idle = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto& [key, transaction] : runningTransactions_) tasks.push_back(transaction->task);
    idle = this->idle() && !mainRunning_;
  }
  // Each cancelled task completes with the error "cancelled"; the last one to return from its
  // handler ends the operation.
  for (const auto& task : tasks) task->cancel();
  if (idle) finish();
}

std::shared_ptr<QvResumable> QvHTTPFetchOperation::enqueue(const URLRequest& request) {
  if (isCancelled()) return std::make_shared<EmptyResumable>();
  auto self = std::static_pointer_cast<QvHTTPFetchOperation>(shared_from_this());
  auto transaction = std::make_shared<HTTPTransaction>(request, self);
  log->trace("start tx:", transaction->description());
  transaction->task = session->dataTask(
      request, [self, transaction](std::optional<Fennix::Data> data, std::shared_ptr<URLResponse> response,
                                   Fennix::ErrorRef error) {
        // The task has completed, but the operation runs on until its handler has returned.
        {
          std::lock_guard<std::mutex> guard(self->lock_);
          self->runningTransactions_.erase(transaction.get());
          ++self->handlersRunning_;
        }
        self->handleDataTaskResult(data, response, error, transaction);
        bool done = false;
        {
          std::lock_guard<std::mutex> guard(self->lock_);
          --self->handlersRunning_;
          done = self->idle();
          if (done && self->mainRunning_) {
            self->finishAfterMain_ = true;
            done = false;
          }
        }
        if (done) self->finish();
      });
  {
    std::lock_guard<std::mutex> guard(lock_);
    runningTransactions_[transaction.get()] = transaction;
  }
  // A cancel that came in since the check above did not see this transaction: its task completes
  // as cancelled at once.
  if (isCancelled()) transaction->task->cancel();
  return transaction->task;
}

void QvHTTPFetchOperation::handleDataTaskResult(const std::optional<Fennix::Data>& data,
                                                const std::shared_ptr<URLResponse>& response,
                                                const Fennix::ErrorRef& error,
                                                const std::shared_ptr<HTTPTransaction>& transaction) {
  auto http = std::dynamic_pointer_cast<HTTPURLResponse>(response);
  transaction->response = http;
  if (error) {
    handleError({transaction, error});
    return;
  }
  if (!http) {
    handleError({transaction, std::make_shared<HTTPOtherError>(response)});
    return;
  }
  const long status = http->statusCode();
  if (status >= 200 && status <= 299) {
    handleResult(data, http);
    return;
  }
  if (status == 300 || status == 301 || status == 302 || status == 303 || status == 307) {
    auto location = http->firstHeader("location");
    if (location && transaction->request.url) {
      if (auto target = URL::fromString(*location, transaction->request.url)) {
        handleRedirect(transaction->request, *target);
        return;
      }
    }
  }
  handleError({transaction, std::make_shared<HTTPStatusError>(status)});
}

void QvHTTPFetchOperation::handleResult(const std::optional<Fennix::Data>& data, const std::shared_ptr<HTTPURLResponse>&) {
  const std::optional<std::string> bytes =
      data ? std::optional<std::string>(std::to_string(data->size()) + " bytes") : std::nullopt;
  log->error("subclass needs to override handleResult(_:response:)", bytes);
}

void QvHTTPFetchOperation::handleRedirect(const URLRequest& request, const URL& to) {
  const std::string from = request.url ? request.url->absoluteString() : std::string();
  log->error("supposed to handle redirect:", from, "to:", to.absoluteString());
}

void QvHTTPFetchOperation::handleError(const HTTPTransactionError& error) {
  log->error("subclass needs to override handleError(_:)", error.error);
}

std::string QvHTTPFetchOperation::description() const {
  return "<" + Fennix::typeName(typeid(*this)) + " " + baseURL.absoluteString() + ">";
}
