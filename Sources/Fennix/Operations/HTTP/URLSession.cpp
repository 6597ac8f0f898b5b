#include "Fennix/Operations/HTTP/URLSession.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

#include "Fennix/Operations/HTTP/HTTPWire.h"
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

/// The most header bytes a response may have. libcurl gives up on a header of more than 300 KB
/// in all (as a receive error) and on a line of more than 100 KB; stopping at 200 KB first tells
/// the first case apart as the server's fault.
constexpr std::size_t maximumHeaderBytes = 200 * 1024;

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
  // A host-only cookie whose text starts with "." names no host: no request carries it.
  if (cookie.isHostOnly && cookie.domain[0] == '.') return std::nullopt;
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
  cookie.isHostOnly = !domainCookie;
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

using FedCookies = std::map<std::tuple<std::string, std::string, std::string>, std::string>;

/// Hands the engine of a transfer the store's cookies that can match `host` and that it was not
/// given before nor holds already (a cookie an earlier response of the transfer set or removed
/// stays as that response left it); notes the lines given, by cookie.
void feedCookies(CURL* curl, const HTTPCookieStorage& storage, const std::string& host, FedCookies& fed) {
  std::set<std::tuple<std::string, std::string, std::string>> held;
  curl_slist* lines = nullptr;
  if (!fed.empty() && curl_easy_getinfo(curl, CURLINFO_COOKIELIST, &lines) == CURLE_OK) {
    for (curl_slist* item = lines; item != nullptr; item = item->next) {
      const auto cookie = item->data != nullptr ? cookieOfNetscapeLine(item->data) : std::nullopt;
      if (cookie) held.emplace(cookie->name, cookie->domain, cookie->path);
    }
  }
  curl_slist_free_all(lines);
  const auto now = Fennix::DateClock::now();
  for (const auto& cookie : storage.cookiesForHost(host)) {
    if (cookie.isExpired(now)) continue;
    auto key = std::make_tuple(cookie.name, cookie.domain, cookie.path);
    if (fed.count(key) != 0 || held.count(key) != 0) continue;
    const auto line = netscapeLine(cookie);
    if (!line) continue;
    curl_easy_setopt(curl, CURLOPT_COOKIELIST, line->c_str());
    fed.emplace(std::move(key), *line);
  }
}

/// Stores what the transfer's engine holds after it: cookies set or changed by any response of
/// the transfer are stored, cookies the responses removed are deleted.
void storeCookies(CURL* curl, HTTPCookieStorage& storage, FedCookies fed) {
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

// ---------------------------------------------------------------------------
// Transfers

constexpr int maximumRedirects = 16;

/// One request of a transfer: the one asked for, then each redirect followed.
struct Hop {
  URL url;
  std::string method;
  std::optional<Fennix::Data> body;
  std::vector<std::pair<std::string, std::string>> headers;
};

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

void removeFields(Hop& hop, std::initializer_list<const char*> names) {
  std::erase_if(hop.headers, [&](const auto& field) {
    return std::any_of(names.begin(), names.end(), [&](const char* name) { return equalsIgnoringCase(field.first, name); });
  });
}

bool isFollowedRedirect(long status) {
  return status == 300 || status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

int portOf(const URL& url) { return url.port().value_or(url.scheme() == "https" ? 443 : 80); }

bool sameOrigin(const URL& a, const URL& b) {
  return a.scheme() == b.scheme() && a.host() == b.host() && portOf(a) == portOf(b);
}

/// Turns the hop into the request that follows a redirect answered with `status` (RFC 9110
/// §15.4): after 303 every method but HEAD becomes GET, after 301 and 302 only POST does, and
/// 300, 307 and 308 keep the method and the content. A request turned into a GET loses its
/// content and the fields that describe it. Off the request's origin (`ownOrigin` false) its own
/// "Authorization", "Cookie" and "Host" fields are dropped.
void followRedirect(Hop& hop, long status, URL target, bool ownOrigin) {
  const bool becomesGET = (status == 303 && hop.method != "HEAD") || ((status == 301 || status == 302) && hop.method == "POST");
  if (becomesGET) {
    hop.method = "GET";
    hop.body.reset();
    removeFields(hop, {"Content-Type", "Content-Length", "Content-Encoding", "Content-Language", "Content-Location",
                       "Digest", "Last-Modified"});
  }
  if (!ownOrigin) removeFields(hop, {"Authorization", "Cookie", "Host"});
  hop.url = std::move(target);
}

/// Sets the hop's method and content on the transfer, undoing what an earlier hop set.
void setMethod(CURL* curl, const Hop& hop) {
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, static_cast<const char*>(nullptr));
  if (hop.method == "HEAD") {
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    return;
  }
  if (hop.method == "GET" && !hop.body) return;
  if (hop.method != "POST") curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, hop.method.c_str());
  if (hop.body || hop.method == "POST") {
    static const Fennix::Data empty;
    const Fennix::Data& body = hop.body ? *hop.body : empty;
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(curl, CURLOPT_COPYPOSTFIELDS, body.empty() ? "" : reinterpret_cast<const char*>(body.data()));
  }
}

/// Time-outs of `interval` seconds without progress (already checked to be a number of at least
/// 0): an infinite interval waits for ever, others wait at least a second and at most a day.
void setTimeouts(CURL* curl, double interval) {
  if (std::isinf(interval)) {
    // The longest wait for a connection libcurl takes (0 would mean its default of 300 s).
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(std::numeric_limits<int>::max() / 1000));
    return;
  }
  const long seconds = static_cast<long>(std::clamp(interval, 1.0, 24.0 * 3600));
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, seconds);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, seconds);
}

/// The loading error of a failed hop.
Fennix::ErrorRef errorOfResult(CURLcode result, CURL* curl, const Transfer& transfer, const Hop& hop) {
  switch (result) {
    case CURLE_UNSUPPORTED_PROTOCOL:
      // The scheme was checked before the transfer: what libcurl did not take is the reply.
      return urlError(URLErrorCode::badServerResponse, "the server's reply is not HTTP");
    case CURLE_OUT_OF_MEMORY: {
      // libcurl's limits on the request's head and on each line of the response's head.
      long sent = 0;
      curl_easy_getinfo(curl, CURLINFO_REQUEST_SIZE, &sent);
      if (sent > 0) return urlError(URLErrorCode::badServerResponse, "a header line of the response is too long");
      std::size_t fieldBytes = 0;
      for (const auto& [name, value] : hop.headers) fieldBytes += name.size() + value.size();
      if (hop.url.absoluteString().size() > fieldBytes) return urlError(URLErrorCode::badURL, "the URL is too long");
      return urlError(URLErrorCode::unknown, "the request's header fields are too long");
    }
    case CURLE_WRITE_ERROR:
      if (transfer.headerBytes > maximumHeaderBytes) {
        return urlError(URLErrorCode::badServerResponse, "the response's header is too large");
      }
      break;
    default: break;
  }
  return urlError(codeOfCurlResult(result), curl_easy_strerror(result));
}

struct Outcome {
  Fennix::ErrorRef error;
  std::shared_ptr<URLResponse> response;
};

/// Runs the request on `curl`, following redirects itself when the configuration asks for it.
/// libcurl follows a redirect keeping a custom method but dropping the content, so its own
/// following would turn a redirected PUT into an empty PUT.
Outcome runTransfer(CURL* curl, const URLRequest& request, const URLSession::Configuration& configuration,
                    Transfer& transfer) {
  const auto& storage = configuration.cookieStorage;
  // A request that carries a "Cookie" field of its own gets none from the store.
  const bool storeCookiesToo = storage && !request.value("Cookie");
  if (storage) curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");  // the engine, without a file
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  setTimeouts(curl, request.timeoutInterval);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, writeHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, progress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);

  Hop hop{request.url->absoluteURL(), request.httpMethod, request.httpBody, request.allHTTPHeaderFields()};
  const URL origin = hop.url;
  bool ownOrigin = true;  // once off it, for the rest of the chain
  FedCookies fedCookies;
  std::set<std::string> fedHosts;
  std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(nullptr, curl_slist_free_all);
  Outcome outcome;
  CURLcode result = CURLE_OK;
  for (int redirects = 0;; ++redirects) {
    const std::string host = hop.url.host().value_or("");
    if (storeCookiesToo && fedHosts.insert(host).second) feedCookies(curl, *storage, host, fedCookies);
    const std::string address = hop.url.absoluteString();
    if (curl_easy_setopt(curl, CURLOPT_URL, address.c_str()) != CURLE_OK) {
      outcome.error = urlError(URLErrorCode::badURL, "the URL is too long");
      break;
    }
    setMethod(curl, hop);
    curl_slist* lines = nullptr;
    for (const auto& line : Fennix::HTTPWire::headerLines(hop.headers)) lines = curl_slist_append(lines, line.c_str());
    lines = curl_slist_append(lines, "Expect:");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, lines);
    headers.reset(lines);
    transfer.body.clear();
    transfer.headers.clear();
    transfer.headerBytes = 0;
    transfer.tooLarge = false;

    result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    char* effective = nullptr;
    curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective);
    std::optional<URL> responseURL = effective != nullptr ? URL::fromString(effective) : std::nullopt;
    outcome.response = nullptr;
    if (status > 0) {
      outcome.response =
          std::make_shared<HTTPURLResponse>(responseURL ? *responseURL : hop.url, status, headerFields(transfer.headers));
    }
    if (result != CURLE_OK || transfer.cancelled->load() || !configuration.followRedirects || !isFollowedRedirect(status)) {
      break;
    }
    char* location = nullptr;
    curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location);
    auto target = location != nullptr ? URL::fromString(location) : std::nullopt;
    if (!target) break;  // nowhere to go: the redirect is the response
    if (redirects == maximumRedirects) {
      outcome.error = urlError(URLErrorCode::httpTooManyRedirects, "too many redirects");
      break;
    }
    const auto scheme = target->scheme();
    if ((scheme != "http" && scheme != "https") || !target->host()) {
      outcome.error = urlError(URLErrorCode::unsupportedURL, "redirected to an unsupported URL");
      break;
    }
    ownOrigin = ownOrigin && sameOrigin(origin, *target);
    followRedirect(hop, status, std::move(*target), ownOrigin);
  }

  // Cookies set along the way count even when a later hop fails.
  if (storage) storeCookies(curl, *storage, std::move(fedCookies));
  // Whatever arrived of a transfer that failed or was cancelled is never handed on as a result.
  if (transfer.cancelled->load()) {
    outcome.error = urlError(URLErrorCode::cancelled, "cancelled");
  } else if (!outcome.error && transfer.tooLarge) {
    outcome.error = urlError(URLErrorCode::dataLengthExceedsMaximum, "resource exceeds maximum size");
  } else if (!outcome.error && result != CURLE_OK) {
    outcome.error = errorOfResult(result, curl, transfer, hop);
  }
  return outcome;
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
  } else if (const auto fault = Fennix::HTTPWire::requestFault(request_)) {
    // Nothing of a request that would break its lines (or whose time-out means nothing) is sent.
    error = urlError(URLErrorCode::unknown, *fault);
  } else if (CURL* curl = curl_easy_init()) {
    auto outcome = runTransfer(curl, request_, session_->configuration_, transfer);
    curl_easy_cleanup(curl);
    error = std::move(outcome.error);
    response = std::move(outcome.response);
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
      // The value is moved along, never copied: a copy of a value recurses as deep as it nests.
      auto held = std::make_shared<std::optional<nlohmann::json>>(std::move(object));
      queue->async([completionHandler, error, held] { completionHandler(error, std::move(*held)); });
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
    auto parsed = Fennix::HTTPWire::parseJSON(*data);
    auto* value = std::get_if<nlohmann::json>(&parsed);
    if (value == nullptr || !(value->is_array() || value->is_object())) {
      const std::string length = std::to_string(data->size());
      console::error("could not parse JSON data (#" + length + ":", length + " bytes");
      const std::string reason = value == nullptr ? std::get<std::string>(parsed) : "the top level is not an array or object";
      deliver(std::make_shared<QvJSONError>(QvJSONError::ParseError{std::make_shared<Fennix::MessageError>(reason)}),
              std::nullopt);
      return;
    }
    deliver(nullptr, std::move(*value));
  });
}
