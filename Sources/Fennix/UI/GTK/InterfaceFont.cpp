#include <gtk/gtk.h>

#include "Fennix/Foundation/Text/Font.h"
#include "Fennix/UI/GTK/TextBufferAttributes.h"

namespace GTKText {

void useToolkitInterfaceFont() {
  NSFont::setInterfaceFontSource([]() -> std::string {
    std::string name;
    if (!gtk_is_initialized()) return name;
    if (GtkSettings* settings = gtk_settings_get_default()) {
      gchar* value = nullptr;
      g_object_get(settings, "gtk-font-name", &value, nullptr);
      if (value) name = value;
      g_free(value);
    }
    return name;
  });
}

}  // namespace GTKText
