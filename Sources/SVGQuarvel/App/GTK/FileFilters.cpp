#include "SVGQuarvel/App/GTK/FileFilters.h"

namespace SVGQuarvel {

Glib::RefPtr<Gtk::FileFilter> fileFilter(const std::string& name, const std::vector<UTType>& types) {
  auto result = Gtk::FileFilter::create();
  result->set_name(name);
  for (const auto& type : types) {
    for (const auto& extension : type.filenameExtensions()) result->add_suffix(extension);
    if (!type.preferredMIMEType().empty()) result->add_mime_type(type.preferredMIMEType());
  }
  return result;
}

std::optional<UTType> typeOfFilter(const Glib::RefPtr<Gtk::FileFilter>& chosen, const std::vector<UTType>& types) {
  if (!chosen) return std::nullopt;
  for (const auto& type : types) {
    if (chosen->get_name().raw() == type.localizedDescription()) return type;
  }
  return std::nullopt;
}

}  // namespace SVGQuarvel
