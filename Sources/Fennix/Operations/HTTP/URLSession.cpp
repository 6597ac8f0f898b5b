#include "Fennix/Operations/HTTP/URLSession.h"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

#include "Fennix/console/Console.h"

namespace {

void initialiseCurl() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

Fennix::ErrorRef urlError(long code, std::string text) {
  return std::make_shared<NSError>(NSError::urlErrorDomain, code, std::move(text));
}

long codeOfCurlResult(CURLcode result) {
  switch (result) {
    case CURLE_UNSUPPORTED_PROTOCOL: return URLErrorCode::unsupportedURL;
    case CURLE_URL_MALFORMAT: return URLErrorCode::badURL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return URLErrorCode::cannotFindHost;
    case CURLE_COULDNT_CONNECT: return URLErrorCode::cannotConnectToHost;
    case CURLE_OPERATION_TIMEDOUT: return URLErrorCode::timedOut;
    case CURLE_ABORTED_BY_CALLBACK: return URLErrorCode::cancelled;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_USE_SSL_FAILED: return URLErrorCode::secureConnectionFailed;
    case CURLE_TOO_MANY_REDIRECTS: return URLErrorCode::httpTooManyRedirects;
    case CURLE_WEIRD_SERVER_REPLY: return URLErrorCode::badServerResponse;
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR: return URLErrorCode::networkConnectionLost;
    case CURLE_BAD_CONTENT_ENCODING: return URLErrorCode::cannotDecodeContentData;
    case CURLE_FILESIZE_EXCEEDED: return URLErrorCode::dataLengthExceedsMaximum;
    default: return URLErrorCode::unknown;
  }
}

/// What a transfer collects while it runs.
struct Transfer {
  Fennix::Data body;
  std::size_t maximumBodySize = 0;
  bool tooLarge = false;
  std::vector<std::pair<std::string, std::string>> headers;
  std::size_t headerBytes = 0;
  const std::atomic<bool>* cancelled = nullptr;
};

constexpr std::size_t maximumHeaderBytes = 1024 * 1024;

std::size_t writeBody(char* data, std::size_t size, std::size_t count, void* context) {
  auto* transfer = static_cast<Transfer*>(context);
  const std::size_t length = size * count;
  if (transfer->body.size() + length > transfer->maximumBodySize) {
    transfer->tooLarge = true;
    return 0;
  }
  transfer->body.insert(transfer->body.end(), data, data + length);
  return length;
}

std::size_t writeHeader(char* data, std::size_t size, std::size_t count, void* context) {
  auto* transfer = static_cast<Transfer*>(context);
  const std::size_t length = size * count;
  transfer->headerBytes += length;
  if (transfer->headerBytes > maximumHeaderBytes) return 0;
  std::string line(data, length);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (line.empty()) return length;
  if (line.rfind("HTTP/", 0) == 0) {
    transfer->headers.clear();  // a new response (after an interim one or a followed redirect)
    return length;
  }
  const auto colon = line.find(':');
  if (colon == std::string::npos || colon == 0) return length;
  std::string name = line.substr(0, colon);
  std::string value = line.substr(colon + 1);
  const auto first = value.find_first_not_of(" \t");
  value = first == std::string::npos ? std::string() : value.substr(first);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
  transfer->headers.emplace_back(std::move(name), std::move(value));
  return length;
}

int progress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* transfer = static_cast<Transfer*>(context);
  return transfer->cancelled->load() ? 1 : 0;
}

/// Header fields in Title-Case, in the order first received; "Set-Cookie" sent more than once
/// becomes a list of texts, other repeated fields one text joined by ", ".
HTTPURLResponse::HeaderFields headerFields(const std::vector<std::pair<std::string, std::string>>& lines) {
  std::vector<std::string> names;
  std::map<std::string, std::vector<std::string>> values;
  for (const auto& [name, value] : lines) {
    const std::string canonical = Fennix::canonicalHeaderName(name);
    auto& list = values[canonical];
    if (list.empty()) names.push_back(canonical);
    list.push_back(value);
  }
  HTTPURLResponse::HeaderFields fields;
  for (const auto& name : names) {
    const auto& list = values[name];
    if (name == "Set-Cookie" && list.size() > 1) {
      Fennix::AnyValue::Array texts;
      for (const auto& value : list) texts.push_back(Fennix::AnyValue::string(value));
      fields.emplace_back(Fennix::AnyValue::string(name),
                          Fennix::AnyValue::array(std::move(texts), Fennix::AnyType(Fennix::AnyKind::string)));
      continue;
    }
    std::string joined;
    for (const auto& value : list) joined += (joined.empty() ? "" : ", ") + value;
    fields.emplace_back(Fennix::AnyValue::string(name), Fennix::AnyValue::string(joined));
  }
  return fields;
}

// Cookies travel through libcurl's cookie engine for the length of one transfer, so that each
// followed redirect carries exactly the cookies that match it, including those set by an
// earlier hop. The engine takes and gives them as lines of the Netscape cookie file: domain,
// whether subdomains match, path, secure, expiry in seconds since 1970 (0 for a session
// cookie), name and value, separated by tabs, the domain prefixed with "#HttpOnly_" for
// HTTP-only cookies.

constexpr const char* httpOnlyPrefix = "#HttpOnly_";

/// The engine's line of a cookie; none for a cookie whose text would break the line.
std::optional<std::string> netscapeLine(const HTTPCookie& cookie) {
  for (const std::string* field : {&cookie.name, &cookie.value, &cookie.domain, &cookie.path}) {
    if (field->find_first_of("\t\r\n") != std::string::npos) return std::nullopt;
  }
  if (cookie.name.empty() || cookie.domain.empty() || cookie.domain == ".") return std::nullopt;
  const bool domainCookie = cookie.domain[0] == '.';
  long long expires = 0;
  if (cookie.expiresDate) {
    expires = std::max<long long>(1, Fennix::DateClock::unixSeconds(*cookie.expiresDate));
  }
  return std::string(cookie.isHTTPOnly ? httpOnlyPrefix : "") + cookie.domain + "\t" + (domainCookie ? "TRUE" : "FALSE") +
         "\t" + (cookie.path.empty() ? "/" : cookie.path) + "\t" + (cookie.isSecure ? "TRUE" : "FALSE") + "\t" +
         std::to_string(expires) + "\t" + cookie.name + "\t" + cookie.value;
}

/// The cookie of one of the engine's lines; none for a line that is not one.
std::optional<HTTPCookie> cookieOfNetscapeLine(std::string line) {
  HTTPCookie cookie;
  if (line.rfind(httpOnlyPrefix, 0) == 0) {
    cookie.isHTTPOnly = true;
    line.erase(0, std::strlen(httpOnlyPrefix));
  }
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (fields.size() < 6) {
    const auto tab = line.find('\t', start);
    if (tab == std::string::npos) return std::nullopt;
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  fields.push_back(line.substr(start));
  const bool domainCookie = fields[1] == "TRUE";
  std::string domain = fields[0];
  while (!domain.empty() && domain[0] == '.') domain.erase(0, 1);
  if (domain.empty() || fields[5].empty()) return std::nullopt;
  cookie.domain = domainCookie ? "." + domain : domain;
  cookie.path = fields[2].empty() ? "/" : fields[2];
  cookie.isSecure = fields[3] == "TRUE";
  long long expires = 0;
  const auto [end, failure] = std::from_chars(fields[4].data(), fields[4].data() + fields[4].size(), expires);
  if (failure != std::errc() || end != fields[4].data() + fields[4].size()) return std::nullopt;
  if (expires != 0) {
    // Kept within the clock's range: at most about 200 years from now.
    const long long now = std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch()).count();
    expires = std::clamp(expires, 1LL, now + 200LL * 366 * 24 * 3600);
    cookie.expiresDate = Fennix::DateClock::fromUnixSeconds(expires);
  }
  cookie.name = fields[5];
  cookie.value = fields[6];
  return cookie;
}

/// Hands the store's cookies to the engine of a transfer; answers the lines given, by cookie.
std::map<std::tuple<std::string, std::string, std::string>, std::string> feedCookies(CURL* curl,
                                                                                    const HTTPCookieStorage& storage) {
  std::map<std::tuple<std::string, std::string, std::string>, std::string> fed;
  const auto now = Fennix::DateClock::now();
  for (const auto& cookie : storage.cookies()) {
    if (cookie.isExpired(now)) continue;
    const auto line = netscapeLine(cookie);
    if (!line) continue;
    curl_easy_setopt(curl, CURLOPT_COOKIELIST, line->c_str());
    fed[{cookie.name, cookie.domain, cookie.path}] = *line;
  }
  return fed;
}

/// Stores what the transfer's engine holds after it: cookies set or changed by any response of
/// the transfer are stored, cookies the responses removed are deleted.
void storeCookies(CURL* curl, HTTPCookieStorage& storage,
                  std::map<std::tuple<std::string, std::string, std::string>, std::string> fed) {
  curl_slist* lines = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_COOKIELIST, &lines) != CURLE_OK) return;
  for (curl_slist* item = lines; item != nullptr; item = item->next) {
    const auto cookie = item->data != nullptr ? cookieOfNetscapeLine(item->data) : std::nullopt;
    if (!cookie) continue;
    const auto key = std::make_tuple(cookie->name, cookie->domain, cookie->path);
    const auto found = fed.find(key);
    const bool unchanged = found != fed.end() && netscapeLine(*cookie) == found->second;
    if (found != fed.end()) fed.erase(found);
    if (!unchanged) storage.setCookie(*cookie);
  }
  curl_slist_free_all(lines);
  for (const auto& [key, line] : fed) {
    if (auto gone = cookieOfNetscapeLine(line)) storage.deleteCookie(*gone);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Tasks

URLSessionDataTask::URLSessionDataTask(std::shared_ptr<URLSession> session, URLRequest request,
                                       CompletionHandler completion)
    : session_(std::move(session)), request_(std::move(request)), completion_(std::move(completion)) {}

void URLSessionDataTask::resume() {
  State expected = State::suspended;
  if (!state_.compare_exchange_strong(expected, State::running)) return;
  auto self = shared_from_this();
  DispatchQueue::global(DispatchQoS::default_).async([self] { self->perform(); });
}

void URLSessionDataTask::cancel() { cancelled_.store(true); }

void URLSessionDataTask::perform() {
  initialiseCurl();
  Transfer transfer;
  transfer.maximumBodySize = session_->configuration_.maximumBodySize;
  transfer.cancelled = &cancelled_;
  std::shared_ptr<URLResponse> response;
  Fennix::ErrorRef error;

  const auto scheme = request_.url ? request_.url->scheme() : std::nullopt;
  if (cancelled_.load()) {
    error = urlError(URLErrorCode::cancelled, "cancelled");
  } else if (!request_.url || !request_.url->host() || (scheme != "http" && scheme != "https")) {
    error = urlError(URLErrorCode::unsupportedURL, "unsupported URL");
  } else if (CURL* curl = curl_easy_init()) {
    const std::string address = request_.url->absoluteString();
    const auto& storage = session_->configuration_.cookieStorage;
    curl_slist* headers = nullptr;
    for (const auto& [name, value] : request_.allHTTPHeaderFields()) {
      headers = curl_slist_append(headers, (name + ": " + value).c_str());
    }
    headers = curl_slist_append(headers, "Expect:");
    std::map<std::tuple<std::string, std::string, std::string>, std::string> fedCookies;
    if (storage) {
      curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");  // the engine, without a file
      // A request that carries a "Cookie" field of its own gets none from the store.
      if (!request_.value("Cookie")) fedCookies = feedCookies(curl, *storage);
    }

    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, session_->configuration_.followRedirects ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 16L);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    const long timeout = std::clamp(static_cast<long>(request_.timeoutInterval), 1L, 24L * 3600);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, timeout);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, timeout);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, writeHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);

    const std::string& method = request_.httpMethod;
    if (method == "HEAD") {
      curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else if (method != "GET" || request_.httpBody) {
      if (method != "POST") curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
      if (request_.httpBody || method == "POST") {
        static const Fennix::Data empty;
        const Fennix::Data& body = request_.httpBody ? *request_.httpBody : empty;
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(curl, CURLOPT_COPYPOSTFIELDS, body.empty() ? "" : reinterpret_cast<const char*>(body.data()));
      }
    }

    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    char* effective = nullptr;
    curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective);
    std::optional<URL> responseURL = effective != nullptr ? URL::fromString(effective) : std::nullopt;
    if (!responseURL) responseURL = request_.url->absoluteURL();

    if (status > 0) {
      auto http = std::make_shared<HTTPURLResponse>(responseURL, status, headerFields(transfer.headers));
      response = http;
    }
    // Cookies set along the way count even when a later hop fails.
    if (storage) storeCookies(curl, *storage, std::move(fedCookies));
    // Whatever arrived of a transfer that failed or was cancelled is never handed on as a result.
    if (cancelled_.load()) {
      error = urlError(URLErrorCode::cancelled, "cancelled");
    } else if (transfer.tooLarge) {
      error = urlError(URLErrorCode::dataLengthExceedsMaximum, "resource exceeds maximum size");
    } else if (result != CURLE_OK) {
      error = urlError(codeOfCurlResult(result), curl_easy_strerror(result));
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
  } else {
    error = urlError(URLErrorCode::unknown, "could not create a transfer");
  }

  std::optional<Fennix::Data> data;
  if (!error) data = std::move(transfer.body);
  state_.store(State::completed);
  auto completion = std::move(completion_);
  completion_ = nullptr;
  session_->delegateQueue_.async([completion, data = std::move(data), response, error]() mutable {
    if (completion) completion(std::move(data), response, error);
  });
}

// ---------------------------------------------------------------------------
// Session

URLSession::URLSession() : URLSession(Configuration()) {}

URLSession::URLSession(Configuration configuration, std::optional<DispatchQueue> delegateQueue)
    : configuration_(std::move(configuration)),
      delegateQueue_(delegateQueue ? *delegateQueue : DispatchQueue("URLSession.delegate")) {}

const std::shared_ptr<URLSession>& URLSession::shared() {
  static const auto& session = *new const std::shared_ptr<URLSession>(std::make_shared<URLSession>());
  return session;
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTask(const URLRequest& request,
                                                         URLSessionDataTask::CompletionHandler completion) {
  return std::make_shared<URLSessionDataTask>(shared_from_this(), request, std::move(completion));
}

URLSession::QvError URLSession::QvError::classify(const Fennix::ErrorRef& error) {
  if (!error) return QvError(Other{nullptr});
  if (auto* classified = Fennix::errorAs<QvError>(error)) return *classified;
  auto* platform = Fennix::errorAs<NSError>(error);
  const long code = platform != nullptr ? platform->code() : 0;
  switch (code) {
    case URLErrorCode::cannotFindHost: return QvError(CannotConnect{ConnectErrorReason::cannotFindHost});
    case URLErrorCode::callIsActive: return QvError(CannotConnect{ConnectErrorReason::callIsActive});
    case URLErrorCode::notConnectedToInternet: return QvError(CannotConnect{ConnectErrorReason::notConnectedToInternet});
    case URLErrorCode::internationalRoamingOff: return QvError(CannotConnect{ConnectErrorReason::roamingOff});
    case URLErrorCode::secureConnectionFailed: return QvError(CannotConnect{ConnectErrorReason::secureConnectionFailed});
    case URLErrorCode::appTransportSecurityRequiresSecureConnection:
      return QvError(CannotConnect{ConnectErrorReason::appTransportSecurity});
    case URLErrorCode::badServerResponse:
    case URLErrorCode::cannotParseResponse: return QvError(ServerError{code});
    case URLErrorCode::timedOut: return QvError(Timeout{});
    case URLErrorCode::cancelled: return QvError(Cancelled{});
    default: return QvError(Other{error});
  }
}

std::string URLSession::QvError::description() const {
  static const char* reasons[] = {"cannotFindHost",   "callIsActive",        "notConnectedToInternet",
                                  "roamingOff",       "badServerResponse",   "cannotParseResponse",
                                  "secureConnectionFailed", "appTransportSecurity"};
  if (auto* connect = std::get_if<CannotConnect>(&value_)) {
    return std::string("cannotConnect(") + reasons[static_cast<int>(connect->reason)] + ")";
  }
  if (auto* server = std::get_if<ServerError>(&value_)) return "serverError(code: " + std::to_string(server->code) + ")";
  if (auto* other = std::get_if<Other>(&value_)) {
    return "other(" + (other->error ? other->error->description() : std::string("nil")) + ")";
  }
  if (is<Timeout>()) return "timeout";
  return "cancelled";
}

std::string URLSession::QvJSONError::description() const {
  if (auto* noContent = std::get_if<NoContent>(&value_)) {
    return "noContent(" + (noContent->response ? noContent->response->description() : std::string("nil")) + ")";
  }
  const auto& parse = std::get<ParseError>(value_);
  return "parseError(" + (parse.error ? parse.error->description() : std::string("nil")) + ")";
}

std::shared_ptr<URLSessionDataTask> URLSession::jsonTask(const URLRequest& request, std::optional<DispatchQueue> queue,
                                                         JSONHandler completionHandler) {
  auto deliver = [queue, completionHandler](Fennix::ErrorRef error, std::optional<nlohmann::json> object) {
    if (queue) {
      queue->async([completionHandler, error, object = std::move(object)] { completionHandler(error, object); });
    } else {
      completionHandler(error, std::move(object));
    }
  };
  return dataTask(request, [deliver](std::optional<Fennix::Data> data, std::shared_ptr<URLResponse> response,
                                     Fennix::ErrorRef error) {
    if (error) {
      deliver(error, std::nullopt);
      return;
    }
    auto http = std::dynamic_pointer_cast<HTTPURLResponse>(response);
    if (!http || !data || data->empty()) {
      deliver(std::make_shared<QvJSONError>(QvJSONError::NoContent{response}), std::nullopt);
      return;
    }
    if (!http->isOK()) console::error("response not OK:", http->description());
    auto parsed = nlohmann::json::parse(data->begin(), data->end(), nullptr, false);
    if (parsed.is_discarded() || !(parsed.is_array() || parsed.is_object())) {
      const std::string length = std::to_string(data->size());
      console::error("could not parse JSON data (#" + length + ":", length + " bytes");
      const char* reason = parsed.is_discarded() ? "the data is not valid JSON" : "the top level is not an array or object";
      deliver(std::make_shared<QvJSONError>(QvJSONError::ParseError{std::make_shared<Fennix::MessageError>(reason)}),
              std::nullopt);
      return;
    }
    deliver(nullptr, std::move(parsed));
  });
}
