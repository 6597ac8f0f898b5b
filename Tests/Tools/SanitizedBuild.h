#pragma once
// Whether the test program was built with the address sanitizer, for tests whose long runs or
// large inputs are shortened in that build (it runs many times more slowly).

namespace QuarvelTestBuild {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool sanitizedBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool sanitizedBuild = true;
#else
inline constexpr bool sanitizedBuild = false;
#endif
#else
inline constexpr bool sanitizedBuild = false;
#endif

}  // namespace QuarvelTestBuild
