// The file filters of the Open and Save panels, one for each type of file.
#pragma once

#include <gtkmm/filefilter.h>

#include <optional>
#include <string>
#include <vector>

#include "SVGQuarvel/Model/DocumentFile.h"

namespace SVGQuarvel {

/// A filter of the files of `types`, by their extensions (any case) and MIME types.
Glib::RefPtr<Gtk::FileFilter> fileFilter(const std::string& name, const std::vector<UTType>& types);

/// The type a filter of `fileFilter(type.localizedDescription(), {type})` stands for.
std::optional<UTType> typeOfFilter(const Glib::RefPtr<Gtk::FileFilter>& chosen, const std::vector<UTType>& types);

}  // namespace SVGQuarvel
