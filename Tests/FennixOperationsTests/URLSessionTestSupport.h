// What the URL session tests share: a session of its own cookie store and what a data task hands
// its completion.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "Fennix/Operations/HTTP/URLSession.h"
#include "OperationsTestSupport.h"

namespace OperationsTestSupport {

/// What a data task handed its completion, and how long it took where the test measured it.
struct Fetched {
  std::optional<Fennix::Data> data;
  std::shared_ptr<HTTPURLResponse> response;
  Fennix::ErrorRef error;
  double seconds = 0;

  long code() const {
    auto* platform = Fennix::errorAs<NSError>(error);
    return platform != nullptr ? platform->code() : 0;
  }
  std::string body() const { return data ? std::string(data->begin(), data->end()) : std::string(); }
  std::string describe() const {
    return "code " + std::to_string(code()) + ", " + std::to_string(body().size()) + " bytes after " + std::to_string(seconds) + " s";
  }
};

/// A session with a cookie store of its own; its bodies are limited to `maximumBodySize` bytes
/// where given.
inline std::shared_ptr<URLSession> newSession(std::optional<std::size_t> maximumBodySize = std::nullopt) {
  URLSession::Configuration configuration;
  configuration.cookieStorage = std::make_shared<HTTPCookieStorage>();
  if (maximumBodySize) configuration.maximumBodySize = *maximumBodySize;
  return std::make_shared<URLSession>(configuration);
}

/// Runs a data task of `request` on `session` to its end (a generous bound) and says what it handed
/// its completion.
inline Fetched fetch(const std::shared_ptr<URLSession>& session, const URLRequest& request) {
  auto result = std::make_shared<Fetched>();
  auto done = std::make_shared<std::atomic<bool>>(false);
  session
      ->dataTask(request,
                 [result, done](std::optional<Fennix::Data> data, std::shared_ptr<URLResponse> response,
                                Fennix::ErrorRef error) {
                   result->data = std::move(data);
                   result->response = std::dynamic_pointer_cast<HTTPURLResponse>(response);
                   result->error = std::move(error);
                   done->store(true);
                 })
      ->resume();
  EXPECT_TRUE(waitUntil([&] { return done->load(); }, 90.0));
  return *result;
}

}  // namespace OperationsTestSupport
