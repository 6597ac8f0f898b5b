// Drops on the editors, dragged with the mouse through the X server from a label that offers
// plain text: an editor takes a drop only when the text's type is among its accepted drag types.
#include <gtest/gtest.h>

#include <gtkmm/box.h>
#include <gtkmm/dragsource.h>
#include <gtkmm/init.h>
#include <gtkmm/label.h>
#include <gtkmm/window.h>

#include "SyntaxEditor/GTK/SyntaxEditorView.h"
#include "SyntaxEditorTests/EditorTestSupport.h"
#include "Tools/XDriver/XDriver.h"

namespace {

using EditorTestSupport::runMainLoopUntil;
using FennixTestSupport::runMainLoopFor;
using Editor = SyntaxEditor;

bool gtkReady() {
  if (!gtk_init_check()) return false;
  Gtk::init_gtkmm_internals();
  return true;
}

/// A window with a label to drag plain text from and an editor to drop it on.
struct DropWindow {
  std::string text = "<svg/>\n";
  SyntaxEditorView editor;
  Gtk::Label source{"drag me"};
  Gtk::Window window;
  Gtk::Box box{Gtk::Orientation::HORIZONTAL};
  XDriver::Session x;
  std::optional<XDriver::WindowID> id;

  DropWindow(std::vector<Editor::PasteboardType> types, const std::string& title)
      : editor(Editor(Editor::Binding<std::string>::fromVariable(text), Editor::Language::xml,
                      HighlightJSTheme::xcode(), std::nullopt, Editor::Flags::defaultEditorFlags, Editor::softTab(2),
                      std::nullopt, std::nullopt, std::move(types))) {
    source.set_size_request(150, 150);
    auto drag = Gtk::DragSource::create();
    drag->set_actions(Gdk::DragAction::COPY);
    drag->signal_prepare().connect(
        [](double, double) {
          return Glib::wrap(gdk_content_provider_new_typed(G_TYPE_STRING, "dropped"));
        },
        false);
    source.add_controller(drag);
    window.set_title(title);
    window.set_default_size(600, 300);
    box.append(source);
    box.append(editor);
    window.set_child(box);
    window.present();
    if (!x.ok() || !runMainLoopUntil([&] { return editor.textView().get_mapped() && box.get_width() > 0; })) return;
    runMainLoopUntil([&] { return bool(id = x.findWindow(title)); }, 5);
    if (id) x.focus(*id);
  }
  ~DropWindow() { window.destroy(); }

  /// Root coordinates of a point of a widget (the window is not decorated by a manager).
  std::pair<int, int> rootPoint(Gtk::Widget& widget, double wx, double wy) {
    const XDriver::Rect frame = x.geometry(*id);
    double sx = 0, sy = 0;
    gtk_native_get_surface_transform(GTK_NATIVE(window.gobj()), &sx, &sy);
    graphene_point_t in = GRAPHENE_POINT_INIT(float(wx), float(wy)), out;
    if (!gtk_widget_compute_point(widget.gobj(), GTK_WIDGET(window.gobj()), &in, &out)) return {0, 0};
    return {frame.x + int(sx + out.x), frame.y + int(sy + out.y)};
  }

  /// Drags from the label to the start of the editor's text with the mouse.
  void drag() {
    const auto [fromX, fromY] = rootPoint(source, 75, 75);
    const auto [toX, toY] = rootPoint(editor.textView(), 20, 10);
    x.moveTo(fromX, fromY);
    runMainLoopFor(0.1);
    x.press(1);
    runMainLoopFor(0.1);
    for (int step = 1; step <= 20; ++step) {
      x.moveTo(fromX + (toX - fromX) * step / 20, fromY + (toY - fromY) * step / 20);
      runMainLoopFor(0.03);
    }
    runMainLoopFor(0.2);
    x.release(1);
    runMainLoopFor(0.5);
  }
};

TEST(EditorDropTests, OnlyAcceptedTypesAreDropped) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  {
    DropWindow w({"text/plain;charset=utf-8"}, "Editor drop of text");
    ASSERT_TRUE(w.id) << "the window could not be shown through the X server";
    w.drag();
    EXPECT_TRUE(runMainLoopUntil([&] { return w.text.find("dropped") != std::string::npos; }, 3))
        << "plain text is among the accepted types; the text is " << w.text;
  }
  for (const auto& types : {std::vector<std::string>{}, std::vector<std::string>{"image/svg+xml"}}) {
    DropWindow w(types, "Editor drop refused " + std::to_string(types.size()));
    ASSERT_TRUE(w.id) << "the window could not be shown through the X server";
    w.drag();
    runMainLoopFor(0.5);
    EXPECT_EQ(w.text, "<svg/>\n") << "accepted: " << ::testing::PrintToString(types);
    EXPECT_EQ(w.editor.textView().get_buffer()->get_text(true), "<svg/>\n");
  }
}

}  // namespace
