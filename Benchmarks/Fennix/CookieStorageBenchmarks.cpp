// The cookie store under a flood: 10,000 cookies set over 200 sites, then the cookies of one
// request looked up in the store that is left.
#include <benchmark/benchmark.h>

#include <string>

#include "Fennix/Foundation/HTTP/HTTPTypes.h"

namespace {

void flood(HTTPCookieStorage& storage, int count) {
  for (int i = 0; i < count; ++i) {
    HTTPCookie cookie;
    cookie.name = "c" + std::to_string(i);
    cookie.value = "1";
    cookie.domain = "www.site" + std::to_string(i % 200) + ".com";
    storage.setCookie(cookie);
  }
}

void BM_CookieFlood10000(benchmark::State& state) {
  for (auto _ : state) {
    HTTPCookieStorage storage;
    flood(storage, 10000);
    benchmark::DoNotOptimize(storage.cookies().size());
  }
}
BENCHMARK(BM_CookieFlood10000)->Unit(benchmark::kMillisecond);

void BM_CookiesOfOneRequest(benchmark::State& state) {
  HTTPCookieStorage storage;
  flood(storage, 10000);
  const URL url = *URL::fromString("https://www.site7.com/page");
  for (auto _ : state) benchmark::DoNotOptimize(storage.cookies(url).size());
}
BENCHMARK(BM_CookiesOfOneRequest)->Unit(benchmark::kMicrosecond);

}  // namespace
