// The main of every test executable that opens windows. Windows draw without GL: no GL driver
// is loaded for the toolkit, so the results do not depend on which driver a machine has. The web
// view still sets up EGL for its web process; the GL libraries it may load are loaded here first
// and kept until exit, so that a driver that would be unloaded again stays known to the leak
// checker by name (its own allocations are suppressed by name, never ours). The toolkit's
// interface font becomes the system font, as in the application. Death tests start the program
// afresh rather than fork it (see TestMain.cpp).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "Fennix/UI/GTK/TextBufferAttributes.h"

namespace {

void keepGLLibrariesLoaded() {
  for (const char* name : {"libEGL_mesa.so.0", "libGLX_mesa.so.0", "libgbm.so.1"}) {
    ::dlopen(name, RTLD_LAZY | RTLD_NODELETE);
  }
  // Every driver of the platform's driver folder (they are usually one file under many names).
  std::error_code error;
  for (const char* folder : {"/usr/lib/x86_64-linux-gnu/dri", "/usr/lib/aarch64-linux-gnu/dri", "/usr/lib/dri"}) {
    const std::filesystem::path swrast = std::filesystem::path(folder) / "swrast_dri.so";
    if (std::filesystem::exists(swrast, error)) ::dlopen(swrast.c_str(), RTLD_LAZY | RTLD_NODELETE);
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("GDK_DEBUG", "gl-disable", 1);
  ::setenv("GSK_RENDERER", "cairo", 1);
  ::setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 1);
  ::setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  keepGLLibrariesLoaded();
  GTKText::useToolkitInterfaceFont();
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
