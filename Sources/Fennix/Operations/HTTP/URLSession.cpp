#include "Fennix/Operations/HTTP/URLSession.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <linux/tcp.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <string_view>
#include <system_error>
#include <thread>
#include <tuple>

#include "Fennix/Operations/HTTP/HTTPWire.h"
#include "Fennix/console/Console.h"

namespace {

using Fennix::HTTPWire::equalsIgnoringCase;

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


/// The most header bytes a response may have. libcurl gives up on a header of more than 300 KB
/// in all (as a receive error) and on a line of more than 100 KB; stopping at 200 KB first tells
/// the first case apart as the server's fault.
constexpr std::size_t maximumHeaderBytes = 200 * 1024;

/// The most bytes a request's head may take: its request line, its header fields and the
/// "Cookie" field the store gives it. libcurl refuses to build a head of 1 MiB or more; staying
/// clear of that leaves room for the fields it adds itself ("Host", "Accept" and the like).
constexpr std::size_t maximumRequestHeadBytes = 1'000'000;

constexpr int maximumRedirects = 16;

/// The sockets libcurl opened for a session, each with a number of its own (a closed socket's
/// descriptor may come back for another connection). Touched on the session's thread only.
struct Sockets {
  struct Socket {
    std::uint64_t number = 0;
    std::string localAddress;  // with its port, once the socket is bound
  };
  std::map<curl_socket_t, Socket> open;
  std::uint64_t opened = 0;
};

/// One request of a transfer: the one asked for, then each redirect followed.
struct Hop {
  URL url;
  std::string method;
  std::optional<Fennix::Data> body;
  std::vector<std::pair<std::string, std::string>> headers;
};

/// A task's transfer while it runs on its session's transfer thread: the request of the hop under
/// way and what arrived for it.
struct Transfer {
  Transfer(std::shared_ptr<URLSessionDataTask> owner, CURL* handle, Hop first)
      : task(std::move(owner)), curl(handle), hop(std::move(first)), origin(hop.url) {}
  ~Transfer() {
    if (curl != nullptr) curl_easy_cleanup(curl);
  }
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  std::shared_ptr<URLSessionDataTask> task;
  CURL* curl = nullptr;
  Hop hop;
  const URL origin;
  bool ownOrigin = true;  // once off it, for the rest of the chain
  int redirects = 0;
  bool storeCookiesToo = false;
  std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headerList{nullptr, curl_slist_free_all};

  Fennix::Data body;
  std::size_t maximumBodySize = 0;
  bool tooLarge = false;
  /// The heads of the hop's responses as they arrive: the status and fields of each, read once.
  Fennix::HTTPWire::ResponseHeadReader head;
  std::size_t headerBytes = 0;
  /// Why a head was refused as one that libcurl would read otherwise; empty while none was.
  std::string refusedHead;
  /// The final response's head gave its content no one length.
  bool badLength = false;
  const std::atomic<bool>* cancelled = nullptr;

  /// Seconds without a byte in either direction before the hop fails; none waits for ever.
  std::optional<std::chrono::duration<double>> idleLimit;
  std::chrono::steady_clock::time_point lastProgress;
  curl_off_t received = 0;
  curl_off_t sent = 0;
  bool timedOut = false;
  /// The connection the hop's request went out on, and the bytes that had crossed it when last
  /// looked at: libcurl counts no byte of a head, nor of the framing of chunks, until a whole
  /// line has arrived, so a server that sends those a byte at a time would look silent.
  Sockets* sockets = nullptr;
  curl_socket_t socket = CURL_SOCKET_BAD;
  std::uint64_t socketNumber = 0;
  std::uint64_t socketBytes = 0;

  CURLcode result = CURLE_OK;
  Fennix::ErrorRef error;
  std::shared_ptr<URLResponse> response;

  void progressed() { lastProgress = std::chrono::steady_clock::now(); }
};

std::size_t writeBody(char* data, std::size_t size, std::size_t count, void* context) {
  auto* transfer = static_cast<Transfer*>(context);
  const std::size_t length = size * count;
  transfer->progressed();
  if (transfer->body.size() + length > transfer->maximumBodySize) {
    transfer->tooLarge = true;
    return 0;
  }
  transfer->body.insert(transfer->body.end(), data, data + length);
  return length;
}

/// Whether the head's "Content-Length" fields, if any, agree on one length: each value a list of
/// decimal numbers within the range of a length, all the same. A head with "Transfer-Encoding"
/// frames its content by that, and its lengths are not looked at.
bool hasOneLength(const std::vector<std::pair<std::string, std::string>>& headers) {
  std::optional<std::uint64_t> length;
  for (const auto& [name, value] : headers) {
    if (equalsIgnoringCase(name, "Transfer-Encoding")) return true;
  }
  for (const auto& [name, value] : headers) {
    if (!equalsIgnoringCase(name, "Content-Length")) continue;
    std::size_t start = 0;
    for (;;) {
      const auto comma = value.find(',', start);
      std::string item = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      const auto first = item.find_first_not_of(" \t");
      const auto last = item.find_last_not_of(" \t");
      item = first == std::string::npos ? std::string() : item.substr(first, last - first + 1);
      std::uint64_t number = 0;
      const auto [end, failure] = std::from_chars(item.data(), item.data() + item.size(), number);
      if (item.empty() || failure != std::errc() || end != item.data() + item.size() ||
          number > static_cast<std::uint64_t>(std::numeric_limits<curl_off_t>::max()) || (length && *length != number)) {
        return false;
      }
      length = number;
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  return true;
}

std::size_t writeHeader(char* data, std::size_t size, std::size_t count, void* context) {
  auto* transfer = static_cast<Transfer*>(context);
  const std::size_t length = size * count;
  transfer->progressed();
  transfer->headerBytes += length;
  if (transfer->headerBytes > maximumHeaderBytes) return 0;
  std::string_view line(data, length);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  // The status is read from each head's status line once, and must be the one libcurl read.
  long libcurlStatus = 0;
  curl_easy_getinfo(transfer->curl, CURLINFO_RESPONSE_CODE, &libcurlStatus);
  const bool ended = transfer->head.finalHeadEnded();
  if (auto refused = transfer->head.take(line, libcurlStatus)) {
    transfer->refusedHead = std::move(*refused);
    return 0;
  }
  // Content whose length the head leaves in doubt cannot be told from what follows it.
  if (!ended && transfer->head.finalHeadEnded() && !hasOneLength(transfer->head.fields())) {
    transfer->badLength = true;
    return 0;
  }
  return length;
}

/// Any byte counted in either direction is progress; a cancelled transfer stops here.
int progress(void* context, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) {
  auto* transfer = static_cast<Transfer*>(context);
  if (received != transfer->received || sent != transfer->sent) {
    transfer->received = received;
    transfer->sent = sent;
    transfer->progressed();
  }
  return transfer->cancelled->load() ? 1 : 0;
}

curl_socket_t openSocket(void* context, curlsocktype, curl_sockaddr* address) {
  auto* sockets = static_cast<Sockets*>(context);
  const curl_socket_t socket = ::socket(address->family, address->socktype, address->protocol);
  if (socket != CURL_SOCKET_BAD) sockets->open[socket] = Sockets::Socket{++sockets->opened, std::string()};
  return socket;
}

int closeSocket(void* context, curl_socket_t socket) {
  static_cast<Sockets*>(context)->open.erase(socket);
  return ::close(socket);
}

/// The bytes received and acknowledged on a TCP connection, none when the system does not tell.
std::optional<std::uint64_t> bytesCrossed(curl_socket_t socket) {
  tcp_info info{};
  socklen_t length = sizeof info;
  if (::getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &length) != 0 ||
      length < offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received) {
    return std::nullopt;
  }
  return info.tcpi_bytes_received + info.tcpi_bytes_acked;
}

/// The socket's local address and port as "address port", empty while it is not bound.
std::string localAddressOf(curl_socket_t socket) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return std::string();
  char text[INET6_ADDRSTRLEN] = "";
  int port = 0;
  if (address.ss_family == AF_INET) {
    const auto* ip = reinterpret_cast<const sockaddr_in*>(&address);
    port = ntohs(ip->sin_port);
    ::inet_ntop(AF_INET, &ip->sin_addr, text, sizeof text);
  } else if (address.ss_family == AF_INET6) {
    const auto* ip = reinterpret_cast<const sockaddr_in6*>(&address);
    port = ntohs(ip->sin6_port);
    ::inet_ntop(AF_INET6, &ip->sin6_addr, text, sizeof text);
  }
  return port == 0 ? std::string() : std::string(text) + " " + std::to_string(port);
}

/// As a request goes out (on a new connection or one kept from before): finds its connection
/// among the session's sockets by the local address libcurl names.
int requestGoesOut(void* context, char*, char* localAddress, int, int localPort) {
  auto* transfer = static_cast<Transfer*>(context);
  transfer->socket = CURL_SOCKET_BAD;
  if (localAddress == nullptr) return CURL_PREREQFUNC_OK;
  const std::string wanted = std::string(localAddress) + " " + std::to_string(localPort);
  for (auto& [socket, known] : transfer->sockets->open) {
    if (known.localAddress.empty()) known.localAddress = localAddressOf(socket);
    if (known.localAddress != wanted) continue;
    transfer->socket = socket;
    transfer->socketNumber = known.number;
    transfer->socketBytes = bytesCrossed(socket).value_or(0);
    break;
  }
  return CURL_PREREQFUNC_OK;
}

/// Bytes that crossed the hop's connection since it was last looked at count as progress.
void noticeConnectionBytes(Transfer& transfer) {
  if (transfer.socket == CURL_SOCKET_BAD) return;
  const auto found = transfer.sockets->open.find(transfer.socket);
  if (found == transfer.sockets->open.end() || found->second.number != transfer.socketNumber) {
    transfer.socket = CURL_SOCKET_BAD;  // closed since
    return;
  }
  const auto bytes = bytesCrossed(transfer.socket);
  if (bytes && *bytes != transfer.socketBytes) {
    transfer.socketBytes = *bytes;
    transfer.progressed();
  }
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

void removeFields(Hop& hop, std::initializer_list<const char*> names) {
  std::erase_if(hop.headers, [&](const auto& field) {
    return std::any_of(names.begin(), names.end(), [&](const char* name) { return equalsIgnoringCase(field.first, name); });
  });
}

bool isFollowedRedirect(long status) {
  return status == 300 || status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

/// Whether the URL names a host. Without one ("http:///127.0.0.1/") libcurl would connect to
/// the first segment of the path, a host that neither the cookies nor the origin checks see.
bool namesAHost(const URL& url) { return !url.host().value_or("").empty(); }

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
    case CURLE_BAD_FUNCTION_ARGUMENT: {
      // libcurl's word for a head whose first field line continues a line before it.
      long status = 0;
      curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
      if (status > 0) return urlError(URLErrorCode::badServerResponse, "the response's head is malformed");
      break;
    }
    case CURLE_WRITE_ERROR:
      if (!transfer.refusedHead.empty()) return urlError(URLErrorCode::badServerResponse, transfer.refusedHead);
      if (transfer.badLength) return urlError(URLErrorCode::badServerResponse, "the response's content length is not one number");
      if (transfer.headerBytes > maximumHeaderBytes) {
        return urlError(URLErrorCode::badServerResponse, "the response's header is too large");
      }
      break;
    default: break;
  }
  return urlError(codeOfCurlResult(result), curl_easy_strerror(result));
}


/// The no-progress limit of `interval` seconds (already checked to be a number of at least 0):
/// an infinite interval waits for ever, others wait at least a second and at most a day. The same
/// limit bounds the wait for a connection.
void setTimeouts(CURL* curl, Transfer& transfer, double interval) {
  if (std::isinf(interval)) {
    // The longest wait for a connection libcurl takes (0 would mean its default of 300 s).
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(std::numeric_limits<int>::max() / 1000));
    return;
  }
  const double seconds = std::clamp(interval, 1.0, 24.0 * 3600);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(seconds * 1000));
  transfer.idleLimit = std::chrono::duration<double>(seconds);
}

/// The request head's size as it goes out: request line, fields, and the blank line.
std::size_t headBytes(const Hop& hop, const std::string& address,
                      const std::vector<std::pair<std::string, std::string>>& fields) {
  std::size_t bytes = hop.method.size() + 1 + address.size() + 11 + 2;  // "M URL HTTP/1.1\r\n", "\r\n"
  for (const auto& [name, value] : fields) bytes += name.size() + 2 + value.size() + 2;
  return bytes;
}

/// Sets the transfer up for its current hop: the store's cookies for that URL go into a "Cookie"
/// field of the hop's own. The error of a hop that cannot be sent, none when it is ready.
Fennix::ErrorRef prepareHop(Transfer& transfer, const URLSession::Configuration& configuration) {
  CURL* curl = transfer.curl;
  const Hop& hop = transfer.hop;
  const std::string address = hop.url.absoluteString();
  auto fields = hop.headers;
  if (transfer.storeCookiesToo) {
    for (auto& field : HTTPCookie::requestHeaderFieldsWithCookies(configuration.cookieStorage->cookies(hop.url))) {
      fields.push_back(std::move(field));
    }
  }
  if (headBytes(hop, address, fields) > maximumRequestHeadBytes) {
    if (headBytes(hop, address, {}) > maximumRequestHeadBytes) return urlError(URLErrorCode::badURL, "the URL is too long");
    if (headBytes(hop, address, hop.headers) > maximumRequestHeadBytes) {
      return urlError(URLErrorCode::unknown, "the request's header fields are too long");
    }
    return urlError(URLErrorCode::unknown,
                    "the cookies stored for " + hop.url.host().value_or("") + " make the request's head too long");
  }
  if (curl_easy_setopt(curl, CURLOPT_URL, address.c_str()) != CURLE_OK) {
    return urlError(URLErrorCode::badURL, "the URL is too long");
  }
  setMethod(curl, hop);
  curl_slist* lines = nullptr;
  for (const auto& line : Fennix::HTTPWire::headerLines(fields)) lines = curl_slist_append(lines, line.c_str());
  lines = curl_slist_append(lines, "Expect:");
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, lines);
  transfer.headerList.reset(lines);
  transfer.body.clear();
  // libcurl writes the status line of an HTTP/2 response itself, and speaks HTTP/2 only over TLS.
  transfer.head = Fennix::HTTPWire::ResponseHeadReader(hop.url.scheme() == "https");
  transfer.headerBytes = 0;
  transfer.refusedHead.clear();
  transfer.badLength = false;
  transfer.tooLarge = false;
  transfer.received = 0;
  transfer.sent = 0;
  transfer.socket = CURL_SOCKET_BAD;
  transfer.progressed();
  return nullptr;
}

/// Sets what is the same for every hop of the transfer.
void prepareTransfer(Transfer& transfer, const URLRequest& request, const URLSession::Configuration& configuration) {
  CURL* curl = transfer.curl;
  // A request that carries a "Cookie" field of its own gets none from the store.
  transfer.storeCookiesToo = configuration.cookieStorage && !request.value("Cookie");
  transfer.maximumBodySize = configuration.maximumBodySize;
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
  // HTTP/2 over TLS only, never over plain HTTP; and a proxy's answer to a tunnel's CONNECT is no
  // head of the server's response.
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
  curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  setTimeouts(curl, transfer, request.timeoutInterval);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, writeHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, progress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
}

/// Takes in what the hop's response brought: it becomes the transfer's response once its head has
/// ended, and the cookies of a hop that came to its end without a fault go into the store (a
/// cookie marked secure only from a secure response). A hop that failed, was cancelled or went
/// quiet leaves the store as it was, and so does an interim response.
void takeResponse(Transfer& transfer, const URLSession::Configuration& configuration) {
  transfer.response = nullptr;
  if (!transfer.head.finalHeadEnded()) return;
  const long status = transfer.head.statusCode();
  const URL& url = transfer.hop.url;
  const bool whole = transfer.result == CURLE_OK && !transfer.error && !transfer.badLength && !transfer.tooLarge &&
                     !transfer.timedOut && !transfer.cancelled->load();
  if (configuration.cookieStorage && whole) {
    configuration.cookieStorage->setCookies(HTTPCookie::cookiesWithResponseHeaderFields(transfer.head.fields(), url), url);
  }
  transfer.response = std::make_shared<HTTPURLResponse>(url, status, headerFields(transfer.head.fields()));
}

/// After a hop that libcurl ended with `result`: whether the transfer goes on with a redirect,
/// its next hop then prepared (the error of a redirect that cannot be followed ends it).
bool followsOn(Transfer& transfer, CURLcode result, const URLSession::Configuration& configuration) {
  transfer.result = result;
  // A connection that closed within the head ends the transfer as libcurl sees it, but what came
  // is no response: neither handed on nor followed.
  if (result == CURLE_OK && !transfer.head.finalHeadEnded()) {
    transfer.error = urlError(URLErrorCode::networkConnectionLost,
                              "the response's head was cut off: the connection closed before it ended");
  }
  takeResponse(transfer, configuration);
  const auto* http = dynamic_cast<const HTTPURLResponse*>(transfer.response.get());
  if (result != CURLE_OK || transfer.error || transfer.cancelled->load() || !configuration.followRedirects || http == nullptr ||
      !isFollowedRedirect(http->statusCode())) {
    return false;
  }
  char* location = nullptr;
  curl_easy_getinfo(transfer.curl, CURLINFO_REDIRECT_URL, &location);
  auto target = location != nullptr ? URL::fromString(location) : std::nullopt;
  if (!target) return false;  // nowhere to go: the redirect is the response
  if (transfer.redirects == maximumRedirects) {
    transfer.error = urlError(URLErrorCode::httpTooManyRedirects, "too many redirects");
    return false;
  }
  const auto scheme = target->scheme();
  if ((scheme != "http" && scheme != "https") || !namesAHost(*target)) {
    transfer.error = urlError(URLErrorCode::unsupportedURL, "redirected to an unsupported URL");
    return false;
  }
  ++transfer.redirects;
  transfer.ownOrigin = transfer.ownOrigin && sameOrigin(transfer.origin, *target);
  followRedirect(transfer.hop, http->statusCode(), std::move(*target), transfer.ownOrigin);
  transfer.error = prepareHop(transfer, configuration);
  return !transfer.error;
}

/// The error the transfer ends with, none for a response.
Fennix::ErrorRef finalError(const Transfer& transfer) {
  // Whatever arrived of a transfer that failed or was cancelled is never handed on as a result.
  if (transfer.cancelled->load()) return urlError(URLErrorCode::cancelled, "cancelled");
  if (transfer.error) return transfer.error;
  if (transfer.tooLarge) return urlError(URLErrorCode::dataLengthExceedsMaximum, "resource exceeds maximum size");
  if (transfer.timedOut) return urlError(URLErrorCode::timedOut, "no data arrived within the time-out interval");
  if (transfer.result != CURLE_OK) return errorOfResult(transfer.result, transfer.curl, transfer, transfer.hop);
  return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// The transfer thread

/// Runs the transfers of one session side by side on one thread of its own, through a libcurl
/// multi handle: however many transfers wait on slow servers, they hold no thread of the global
/// queues, and every other transfer of the session goes on. The thread starts with the first
/// transfer and ends when none is left.
class URLSessionDriver : public std::enable_shared_from_this<URLSessionDriver> {
 public:
  URLSessionDriver() : multi_(curl_multi_init()) {}
  ~URLSessionDriver() {
    if (multi_ != nullptr) curl_multi_cleanup(multi_);
  }
  URLSessionDriver(const URLSessionDriver&) = delete;
  URLSessionDriver& operator=(const URLSessionDriver&) = delete;

  /// Hands the resumed task over to the thread.
  void add(std::shared_ptr<URLSessionDataTask> task) {
    std::unique_lock<std::mutex> lock(mutex_);
    pending_.push_back(std::move(task));
    if (running_) {
      lock.unlock();
      wake();
      return;
    }
    running_ = true;
    try {
      std::thread([self = shared_from_this()] { self->run(); }).detach();
    } catch (const std::system_error&) {
      // No thread to be had: the tasks waiting fail rather than wait for ever.
      running_ = false;
      auto failed = std::move(pending_);
      pending_.clear();
      lock.unlock();
      for (auto& waiting : failed) {
        deliver(*waiting, std::nullopt, nullptr, urlError(URLErrorCode::unknown, "could not start a transfer"));
      }
    }
  }

  /// Makes the thread look at its transfers now (after a cancellation).
  void wake() {
    if (multi_ != nullptr) curl_multi_wakeup(multi_);
  }

 private:
  using Active = std::map<CURL*, std::unique_ptr<Transfer>>;

  static void deliver(URLSessionDataTask& task, std::optional<Fennix::Data> data, std::shared_ptr<URLResponse> response,
                      Fennix::ErrorRef error) {
    task.state_.store(URLSessionDataTask::State::completed);
    auto completion = std::move(task.completion_);
    task.completion_ = nullptr;
    task.session_->delegateQueue().async([completion, data = std::move(data), response, error]() mutable {
      if (completion) completion(std::move(data), response, error);
    });
  }

  static void finish(Transfer& transfer) {
    auto error = finalError(transfer);
    std::optional<Fennix::Data> data;
    if (!error) data = std::move(transfer.body);
    // What follows a switch to another protocol is that protocol's, no content of the response.
    const auto* http = dynamic_cast<const HTTPURLResponse*>(transfer.response.get());
    if (data && http != nullptr && http->statusCode() == 101) data->clear();
    deliver(*transfer.task, std::move(data), transfer.response, std::move(error));
  }

  /// Starts the task's transfer, or ends it at once when it cannot be sent.
  void begin(std::shared_ptr<URLSessionDataTask> task, Active& active) {
    const URLRequest& request = task->request_;
    const auto scheme = request.url ? request.url->scheme() : std::nullopt;
    Fennix::ErrorRef error;
    if (task->cancelled_.load()) {
      error = urlError(URLErrorCode::cancelled, "cancelled");
    } else if (!request.url || !namesAHost(*request.url) || (scheme != "http" && scheme != "https")) {
      error = urlError(URLErrorCode::unsupportedURL, "unsupported URL");
    } else if (const auto fault = Fennix::HTTPWire::requestFault(request)) {
      // Nothing of a request that would break its lines (or whose time-out means nothing) is sent.
      error = urlError(URLErrorCode::unknown, *fault);
    } else if (CURL* curl = multi_ != nullptr ? curl_easy_init() : nullptr) {
      const auto& configuration = task->session_->configuration();
      Hop first{request.url->absoluteURL(), request.httpMethod, request.httpBody, request.allHTTPHeaderFields()};
      auto transfer = std::make_unique<Transfer>(task, curl, std::move(first));
      transfer->cancelled = &task->cancelled_;
      transfer->sockets = &sockets_;
      curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, openSocket);
      curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, &sockets_);
      curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, closeSocket);
      curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, &sockets_);
      curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, requestGoesOut);
      curl_easy_setopt(curl, CURLOPT_PREREQDATA, transfer.get());
      prepareTransfer(*transfer, request, configuration);
      transfer->error = prepareHop(*transfer, configuration);
      if (transfer->error || curl_multi_add_handle(multi_, curl) != CURLM_OK) {
        if (!transfer->error) transfer->error = urlError(URLErrorCode::unknown, "could not start a transfer");
        finish(*transfer);
        return;
      }
      active.emplace(curl, std::move(transfer));
      return;
    } else {
      error = urlError(URLErrorCode::unknown, "could not create a transfer");
    }
    deliver(*task, std::nullopt, nullptr, std::move(error));
  }

  void end(Active& active, Active::iterator found) {
    curl_multi_remove_handle(multi_, found->first);
    finish(*found->second);
    active.erase(found);
  }

  void run() {
    Active active;
    for (;;) {
      std::vector<std::shared_ptr<URLSessionDataTask>> arrived;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        arrived.swap(pending_);
        if (arrived.empty() && active.empty()) {
          running_ = false;
          return;
        }
      }
      for (auto& task : arrived) begin(std::move(task), active);

      int running = 0;
      curl_multi_perform(multi_, &running);
      int queued = 0;
      while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
        if (message->msg != CURLMSG_DONE) continue;
        CURL* curl = message->easy_handle;
        const CURLcode result = message->data.result;
        const auto found = active.find(curl);
        if (found == active.end()) continue;
        Transfer& transfer = *found->second;
        curl_multi_remove_handle(multi_, curl);
        const auto& configuration = transfer.task->session_->configuration();
        if (followsOn(transfer, result, configuration)) {
          if (curl_multi_add_handle(multi_, curl) == CURLM_OK) continue;
          transfer.error = urlError(URLErrorCode::unknown, "could not start a transfer");
        }
        finish(transfer);
        active.erase(found);
      }

      // Cancelled transfers end at once, and so do those that went quiet for their whole limit.
      const auto now = std::chrono::steady_clock::now();
      for (auto item = active.begin(); item != active.end();) {
        Transfer& transfer = *item->second;
        if (transfer.idleLimit && now - transfer.lastProgress >= std::chrono::milliseconds(100)) {
          noticeConnectionBytes(transfer);
        }
        const bool quiet = transfer.idleLimit && now - transfer.lastProgress >= *transfer.idleLimit;
        if (!transfer.cancelled->load() && !quiet) {
          ++item;
          continue;
        }
        transfer.timedOut = quiet;
        takeResponse(transfer, transfer.task->session_->configuration());
        auto next = std::next(item);
        end(active, item);
        item = next;
      }
      // libcurl wakes up sooner for its own timers; the limit on the wait is for the idle limits.
      curl_multi_poll(multi_, nullptr, 0, 100, nullptr);
    }
  }

  CURLM* const multi_;
  Sockets sockets_;  // closed by the multi handle as it goes, so kept until after it
  std::mutex mutex_;
  std::vector<std::shared_ptr<URLSessionDataTask>> pending_;
  bool running_ = false;
};

// ---------------------------------------------------------------------------
// Tasks

URLSessionDataTask::URLSessionDataTask(std::shared_ptr<URLSession> session, URLRequest request,
                                       CompletionHandler completion)
    : session_(std::move(session)), request_(std::move(request)), completion_(std::move(completion)) {}

void URLSessionDataTask::resume() {
  State expected = State::suspended;
  if (!state_.compare_exchange_strong(expected, State::running)) return;
  initialiseCurl();
  session_->driver_->add(shared_from_this());
}

void URLSessionDataTask::cancel() {
  cancelled_.store(true);
  State expected = State::suspended;
  if (state_.compare_exchange_strong(expected, State::completed)) {
    // Never resumed, so nothing was sent: it completes as cancelled now rather than never, and a
    // later `resume()` finds it completed and does nothing.
    auto completion = std::move(completion_);
    completion_ = nullptr;
    session_->delegateQueue().async([completion] {
      if (completion) completion(std::nullopt, nullptr, urlError(URLErrorCode::cancelled, "cancelled"));
    });
    return;
  }
  session_->driver_->wake();
}

// ---------------------------------------------------------------------------
// Session

URLSession::URLSession() : URLSession(Configuration()) {}

URLSession::URLSession(Configuration configuration, std::optional<DispatchQueue> delegateQueue)
    : configuration_(std::move(configuration)),
      delegateQueue_(delegateQueue ? *delegateQueue : DispatchQueue("URLSession.delegate")),
      driver_(std::make_shared<URLSessionDriver>()) {}

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
