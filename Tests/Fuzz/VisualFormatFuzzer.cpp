// Visual-format strings: a bad format is reported, never a stopped process.
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "Fennix/UI/Common/VisualFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char superview = 0, self = 0, other = 0;
  static const QvViewsMap views{{"self", Fennix::LayoutItem{&self}},
                                {"other", Fennix::LayoutItem{&other}},
                                {"super", Fennix::LayoutItem{&superview}},
                                {"none", Fennix::LayoutItem{}}};
  static const QvMetrics metrics{{"m", 12},
                                 {"big", 1e300},
                                 {"tiny", 1e-300},
                                 {"inf", std::numeric_limits<double>::infinity()},
                                 {"nan", std::numeric_limits<double>::quiet_NaN()}};
  const Fennix::SuperviewResolver superviewOf = [](Fennix::LayoutItem item) -> std::optional<Fennix::LayoutItem> {
    if (item.handle == &superview) return std::nullopt;
    return Fennix::LayoutItem{&superview};
  };
  const std::string_view format(reinterpret_cast<const char*>(data), size);
  const auto result = Fennix::parseVisualFormat(format, metrics, views, superviewOf);
  if (result.error && !result.constraints.empty()) std::abort();
  if (result.error && result.error->rfind("Unable to parse constraint format: ", 0) != 0) std::abort();
  return 0;
}
