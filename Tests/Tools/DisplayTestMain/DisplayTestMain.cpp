// The main of every test executable that opens windows. Windows draw without GL: no GL driver
// is loaded, so the results do not depend on which driver a machine has, and the sanitizer
// build sees no driver that is loaded and unloaded again. The toolkit's interface font becomes
// the system font, as in the application.
#include <gtest/gtest.h>

#include <cstdlib>

#include "Fennix/UI/GTK/TextBufferAttributes.h"

int main(int argc, char** argv) {
  ::setenv("GDK_DEBUG", "gl-disable", 1);
  ::setenv("GSK_RENDERER", "cairo", 1);
  ::setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 1);
  ::setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  GTKText::useToolkitInterfaceFont();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
