// Cookies from untrusted responses: the first line is the URL that answered, the rest one
// "Set-Cookie" value. Every cookie accepted must stay with the site that set it, and go back as
// one "name=value" pair that no byte of it can break.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Fennix/Foundation/HTTP/HTTPTypes.h"
#include "Fennix/Foundation/HTTP/URL.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const auto newline = input.find('\n');
  const std::string address = newline == std::string::npos ? "https://www.example.com/a/b" : input.substr(0, newline);
  const std::string text = newline == std::string::npos ? input : input.substr(newline + 1);
  const auto url = URL::fromString(address);
  if (!url) return 0;
  (void)Fennix::parseHTTPDate(text);
  HTTPCookieStorage storage;
  for (const auto& cookie : HTTPCookie::cookiesWithResponseHeaderFields({{"Set-Cookie", text}}, *url)) {
    (void)cookie.description();
    // A cookie is for the site that set it: the host itself or a domain above it that is no
    // public suffix. Whatever reaches bank.com came from bank.com or a name under it.
    const std::string host = url->host().value_or("");
    const bool fromBank = host == "bank.com" || (host.size() > 9 && host.ends_with(".bank.com"));
    if (!fromBank && cookie.matches(*URL::fromString("https://bank.com/"))) std::abort();
    // What is accepted goes into a "Cookie" field as one pair of its own, on one line.
    const auto fields = HTTPCookie::requestHeaderFieldsWithCookies({cookie});
    if (fields.size() != 1 || fields[0].second != cookie.name + "=" + cookie.value) std::abort();
    for (const char c : fields[0].second) {
      if (c == ';' || c == ',' || static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) > 0x7e) std::abort();
    }
    if (fields[0].second.find('=') != cookie.name.size()) std::abort();
    storage.setCookie(cookie);
    if (!cookie.isExpired(Fennix::DateClock::now()) && storage.cookies().empty()) std::abort();
  }
  (void)storage.cookies(*url);
  (void)HTTPCookie::requestHeaderFieldsWithCookies(storage.cookies());
  return 0;
}
