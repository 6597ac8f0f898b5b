// The whole application under a virtual display and a private session bus: it starts with a
// window on the built-in drawing, a second launch with an SVG file hands the file to it, and the
// About window is one window that closing only hides.
#include <gdk/gdk.h>
#include <gio/gio.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <glibmm/main.h>
#include <gtkmm/widgetpaintable.h>
#include <sys/wait.h>

#include <functional>

#include "SVGQuarvel/App/GTK/SVGQuarvelApp.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using namespace QuarvelTestSupport;

namespace {

const std::string drawing =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 40 40\"><circle cx=\"20\" cy=\"20\" r=\"15\" "
    "fill=\"teal\"/></svg>\n";

/// Saves what the window shows as a PNG picture in the test output folder.
bool saveScreenshot(Gtk::Window& window, const std::string& name) {
  auto paintable = Gtk::WidgetPaintable::create(window);
  GtkSnapshot* snapshot = gtk_snapshot_new();
  gdk_paintable_snapshot(GDK_PAINTABLE(paintable->gobj()), GDK_SNAPSHOT(snapshot), window.get_width(),
                         window.get_height());
  GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
  if (node == nullptr) return false;
  GskRenderer* renderer = gtk_native_get_renderer(GTK_NATIVE(window.gobj()));
  const graphene_rect_t viewport = GRAPHENE_RECT_INIT(0, 0, float(window.get_width()), float(window.get_height()));
  GdkTexture* texture = gsk_renderer_render_texture(renderer, node, &viewport);
  gsk_render_node_unref(node);
  const auto png = std::filesystem::path(QUARVEL_TEST_OUTPUT_DIR) / name;
  const bool saved = texture != nullptr && gdk_texture_save_to_png(texture, png.c_str());
  if (texture != nullptr) g_object_unref(texture);
  return saved;
}

/// Runs the steps one after the other from the main loop: each is retried every 50 ms until it
/// returns true, and all of them together get `timeoutSeconds`.
class Script {
 public:
  void then(std::function<bool()> step) { steps_.push_back(std::move(step)); }
  void start(double timeoutSeconds, std::function<void(bool finished)> done) {
    done_ = std::move(done);
    deadline_ = g_get_monotonic_time() + gint64(timeoutSeconds * G_USEC_PER_SEC);
    Glib::signal_timeout().connect([this] { return tick(); }, 50);
  }
  std::size_t reached() const { return next_; }

 private:
  bool tick() {
    while (next_ < steps_.size() && steps_[next_]()) ++next_;
    if (next_ == steps_.size() || g_get_monotonic_time() > deadline_) {
      done_(next_ == steps_.size());
      return false;
    }
    return true;
  }
  std::vector<std::function<bool()>> steps_;
  std::size_t next_ = 0;
  gint64 deadline_ = 0;
  std::function<void(bool)> done_;
};

Gtk::Window* aboutWindow() {
  for (auto* window : Gtk::Window::list_toplevels()) {
    if (window->get_title().raw().rfind("About ", 0) == 0) return window;
  }
  return nullptr;
}

/// Answers the question a dialog asks, once one is shown.
bool answer(Gtk::ResponseType response) {
  for (auto* window : Gtk::Window::list_toplevels()) {
    if (auto* dialog = dynamic_cast<Gtk::MessageDialog*>(window); dialog != nullptr && dialog->get_visible()) {
      dialog->response(response);
      return true;
    }
  }
  return false;
}

Gtk::MessageDialog* shownDialog() {
  for (auto* window : Gtk::Window::list_toplevels()) {
    if (auto* dialog = dynamic_cast<Gtk::MessageDialog*>(window); dialog != nullptr && dialog->get_visible()) {
      return dialog;
    }
  }
  return nullptr;
}

bool drawn(Gtk::Window& window) { return window.get_mapped() && window.get_width() > 0; }

TEST(AppWindows, ASecondLaunchHandsItsFileToTheRunningApplication) {
  (void)temporaryUserDirectories();
  ::setenv("QUARVEL_RESOURCES", QUARVEL_TEST_RESOURCE_DIR, 1);
  // The session bus of this process and of the second launch is the test's own.
  ASSERT_NE(g_getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run through scripts/display-session.sh";

  const auto folder = scratchDirectory();
  const auto file = folder / "teal.svg";
  writeFile(file, drawing);

  auto app = SVGQuarvelApp::create();
  Script script;
  GPid second = 0;
  int secondStatus = -1;
  Gtk::Window* about = nullptr;
  std::string failure;

  script.then([&] { return app->documentWindows().size() == 1 && drawn(*app->documentWindows()[0]); });
  script.then([&] {
    auto* first = app->documentWindows()[0];
    EXPECT_EQ(first->record()->document()->svgString.get(), std::string(newDocumentSVG));
    EXPECT_EQ(first->get_title(), "Untitled");
    return saveScreenshot(*first, "app-first-window.png");
  });
  script.then([&] {
    std::vector<std::string> argv{QUARVEL_APP_EXECUTABLE, file.string()};
    std::vector<char*> args;
    for (auto& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    GError* error = nullptr;
    if (!g_spawn_async(nullptr, args.data(), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &second, &error)) {
      failure = error->message;
      g_error_free(error);
      return true;
    }
    g_child_watch_add(second, [](GPid, gint status, gpointer data) { *static_cast<int*>(data) = status; },
                      &secondStatus);
    return true;
  });
  script.then([&] { return app->documentWindows().size() == 2 && drawn(*app->documentWindows()[1]); });
  script.then([&] {
    auto* opened = app->documentWindows()[1];
    EXPECT_EQ(opened->record()->document()->svgString.get(), drawing);
    EXPECT_EQ(opened->get_title(), "Untitled 2");
    EXPECT_NE(opened->record()->document()->swift.get().find("Circle"), std::string::npos);
    return saveScreenshot(*opened, "app-second-window.png");
  });
  script.then([&] {
    EXPECT_EQ(app->focusedDocument(), app->documentWindows()[1]->record()->document());
    app->activate_action("about");
    return true;
  });
  script.then([&] {
    about = aboutWindow();
    return about != nullptr && drawn(*about);
  });
  script.then([&] {
    if (!saveScreenshot(*about, "app-about.png")) return false;
    about->close();  // hides it
    return true;
  });
  script.then([&] {
    if (about->get_visible()) return false;
    app->activate_action("about");
    return true;
  });
  script.then([&] { return aboutWindow() == about && about->get_visible(); });
  script.then([&] { return secondStatus != -1; });

  // A drawing past the size limit, handed in through the open route, is refused with a message
  // over the window; no window opens for it.
  Gtk::MessageDialog* refusal = nullptr;
  script.then([&] {
    about->hide();
    writeFile(folder / "huge.svg", std::string(2 * SVGQuarvelDocument::maximumOpenedSVGBytes + 2, ' '));
    app->open(Gio::File::create_for_path((folder / "huge.svg").string()));
    return true;
  });
  script.then([&] {
    refusal = shownDialog();
    return refusal != nullptr && drawn(*refusal);
  });
  script.then([&] {
    EXPECT_EQ(refusal->property_text().get_value(), "The file could not be opened.");
    const std::string detail = refusal->property_secondary_text().get_value().raw();
    EXPECT_NE(detail.find("\u201chuge.svg\u201d is too large to open: it has 32.0 MB (33554434 bytes); drawings of at "
                          "most 16 MB (16777216 bytes) of SVG text open."),
              std::string::npos)
        << detail;
    EXPECT_EQ(app->documentWindows().size(), 2u);
    if (!saveScreenshot(*refusal, "app-refused-drawing.png")) return false;
    refusal->response(Gtk::ResponseType::OK);
    return true;
  });
  script.then([&] { return shownDialog() == nullptr; });

  // Closing a window with changes asks first: Cancel keeps it, Don't Save closes it.
  SVGQuarvel::DocumentWindow* edited = nullptr;
  script.then([&] {
    edited = app->documentWindows()[1];
    edited->record()->document()->svgString = std::string(newDocumentSVG);
    edited->close();
    return true;
  });
  script.then([&] { return answer(Gtk::ResponseType::CANCEL); });
  script.then([&] { return edited->get_title() == "Untitled 2 \u2014 Edited"; });
  script.then([&] {
    EXPECT_EQ(app->documentWindows().size(), 2u);
    edited->close();
    return true;
  });
  script.then([&] { return answer(Gtk::ResponseType::NO); });
  script.then([&] { return app->documentWindows().size() == 1; });
  // Quitting asks for every window with changes.
  script.then([&] {
    app->documentWindows()[0]->record()->document()->swift = "// edited by hand\n";
    app->activate_action("quit");
    return true;
  });
  script.then([&] { return answer(Gtk::ResponseType::NO); });

  app->signal_activate().connect(
      [&] {
        static bool started = false;
        if (started) return;
        started = true;
        script.start(60, [&](bool finished) {
          if (finished) return;  // the application quits by itself
          failure += "stopped at step " + std::to_string(script.reached());
          for (auto* window : app->documentWindows()) window->closeNow();
          if (about != nullptr) about->hide();
          app->quit();
        });
      },
      true);

  char name[] = "svg-quarvel";
  char* argv[] = {name, nullptr};
  const int status = app->run(1, argv);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(failure, "");
  EXPECT_TRUE(WIFEXITED(secondStatus) && WEXITSTATUS(secondStatus) == 0) << secondStatus;
  if (second != 0) g_spawn_close_pid(second);

  app.reset();
  // Work the application left queued on the main loop (deleting closed windows and answered
  // dialogs) must not run on the application after it is gone.
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

}  // namespace
