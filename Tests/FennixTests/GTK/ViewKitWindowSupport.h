// Windows for the view kit's display tests: set-up, waiting for layout, and pictures of widgets.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <gtkmm/init.h>
#include <gtkmm/widgetpaintable.h>
#include <gtkmm/window.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include "Tools/DisplayTestMain/WidgetPicture.h"
#include "XDriver/XDriver.h"

extern "C" {
/// The X window of a surface (from GDK's X11 backend), for focusing a window through the X server.
unsigned long gdk_x11_surface_get_xid(GdkSurface* surface);
}

namespace ViewKitWindowSupport {

inline bool gtkReady() {
  if (!gtk_init_check()) return false;
  Gtk::init_gtkmm_internals();
  return true;
}

/// Runs the main loop until `done` holds or thirty seconds passed; whether it holds.
inline bool pumpUntil(const std::function<bool()>& done) {
  // Generous: a loaded machine may take seconds for a frame; a condition that holds ends it at once.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    g_main_context_iteration(nullptr, FALSE);
  }
  return true;
}

/// Runs the main loop for a few frames.
inline void pumpFrames(int iterations = 50) {
  for (int i = 0; i < iterations; ++i) g_main_context_iteration(nullptr, FALSE);
}

/// One window for each test, of `width` by `height` unless a test shows its content in another
/// size, destroyed after the test. `show` presents the window with its content, waits until the
/// content is laid out and runs `showFrames` frames more.
class WindowTest : public ::testing::Test {
 protected:
  explicit WindowTest(int width = 0, int height = 0, int showFrames = 50)
      : width_(width), height_(height), showFrames_(showFrames) {}
  void SetUp() override {
    if (!gtkReady()) GTEST_SKIP() << "no display";
    window = new Gtk::Window();
    if (width_ > 0 && height_ > 0) window->set_default_size(width_, height_);
  }
  void TearDown() override {
    if (window) window->destroy();
    delete window;
    window = nullptr;
    pumpFrames(10);
  }
  void show(Gtk::Widget& content) {
    window->set_child(content);
    window->present();
    pumpUntil([&] { return content.get_width() > 0; });
    pumpFrames(showFrames_);
  }
  void show(Gtk::Widget& content, int width, int height) {
    window->set_default_size(width, height);
    show(content);
  }
  Gtk::Window* window = nullptr;

 private:
  int width_, height_, showFrames_;
};

using DisplayTestSupport::renderWidget;

/// The colour 0xRRGGBB of the pixel at (x, y), counted from the top left.
inline std::uint32_t pixel(GdkTexture* texture, int x, int y) {
  const int width = gdk_texture_get_width(texture), height = gdk_texture_get_height(texture);
  // A point outside the picture is a mistake of the test, not a colour.
  if (x < 0 || y < 0 || x >= width || y >= height) {
    ADD_FAILURE() << "pixel (" << x << ", " << y << ") outside a picture of " << width << " x " << height;
    return 0;
  }
  std::vector<guchar> data(std::size_t(width) * height * 4);
  gdk_texture_download(texture, data.data(), std::size_t(width) * 4);  // B, G, R, A
  const std::size_t at = (std::size_t(y) * width + x) * 4;
  return (std::uint32_t(data[at + 2]) << 16) | (std::uint32_t(data[at + 1]) << 8) | data[at];
}

/// Saves a picture of the widget as a PNG under "viewkit-screenshots" of the test build folder.
inline std::filesystem::path saveScreenshot(Gtk::Widget& widget, const std::string& name) {
  std::filesystem::path folder = std::filesystem::path(QUARVEL_TEST_OUTPUT_DIR) / "viewkit-screenshots";
  std::filesystem::create_directories(folder);
  std::filesystem::path file = folder / (name + ".png");
  GdkTexture* texture = nullptr;
  pumpUntil([&] { return (texture = renderWidget(widget)) != nullptr; });
  EXPECT_NE(texture, nullptr) << "no picture of " << name;
  if (texture) {
    gdk_texture_save_to_png(texture, file.c_str());
    g_object_unref(texture);
  }
  return file;
}

inline bool near(std::uint32_t a, std::uint32_t b, int tolerance = 6) {
  for (int shift : {0, 8, 16})
    if (std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) > tolerance) return false;
  return true;
}

/// Where `widget` lies in the coordinates of `ancestor`.
inline graphene_rect_t boundsIn(Gtk::Widget& widget, Gtk::Widget& ancestor) {
  graphene_rect_t bounds{};
  EXPECT_TRUE(gtk_widget_compute_bounds(widget.gobj(), ancestor.gobj(), &bounds));
  return bounds;
}

/// Shows `other`, a small window of its own, and gives it the key focus through the X server, away
/// from `window`; whether it took it.
inline bool presentAsKeyWindow(Gtk::Window& other, Gtk::Window& window, const XDriver::Session& x) {
  other.set_title("Another window");
  other.set_default_size(120, 80);
  other.present();
  if (!pumpUntil([&] { return other.get_surface() && other.get_mapped(); })) return false;
  x.focus(gdk_x11_surface_get_xid(other.get_surface()->gobj()));
  return pumpUntil([&] { return other.is_active() && !window.is_active(); });
}

}  // namespace ViewKitWindowSupport
