// The settings form of a real document window as the screen shows it: each row's label ends in a
// colon and its control sits at the trailing edge, each section has a dimmed title above rows
// indented under it and a divider below them; and each control gives assistive technology its own
// title, which the row does not draw.
#include <gtest/gtest.h>
#include <gtkmm/headerbar.h>
#include <gtkmm/init.h>
#include <gtkmm/separator.h>
#include <gtkmm/window.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "FennixTests/DispatchTestSupport.h"
#include "QuarvelUtilities/GTK/FormBlocks.h"
#include "SVGQuarvel/Views/GTK/ContentView.h"
#include "SVGQuarvel/Views/GTK/ContentViewImpl.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"
#include "XDriver/XDriver.h"

extern "C" {
unsigned long gdk_x11_surface_get_xid(GdkSurface* surface);
}

namespace {

using FennixTestSupport::runMainLoopUntil;

int luminance(std::uint32_t rgb) {
  return int(((rgb >> 16) & 0xff) * 299 + ((rgb >> 8) & 0xff) * 587 + (rgb & 0xff) * 114) / 1000;
}

/// A widget's rectangle on the screen.
XDriver::Rect onScreen(const XDriver::Session& x, Gtk::Window& window, Gtk::Widget& widget) {
  graphene_rect_t bounds;
  if (!gtk_widget_compute_bounds(widget.gobj(), GTK_WIDGET(window.gobj()), &bounds)) return {};
  double sx = 0, sy = 0;
  window.get_surface_transform(sx, sy);
  const auto surface = x.geometry(gdk_x11_surface_get_xid(window.get_surface()->gobj()));
  return {surface.x + int(sx + bounds.origin.x), surface.y + int(sy + bounds.origin.y), int(bounds.size.width),
          int(bounds.size.height)};
}

/// The darkest pixel of `area` of the screen picture `screen` (as luminance).
int darkest(const XDriver::Image& screen, const XDriver::Rect& area) {
  int least = 255;
  for (int y = area.y; y < area.y + area.height; ++y) {
    for (int x = area.x; x < area.x + area.width; ++x) least = std::min(least, luminance(screen.at(x, y)));
  }
  return least;
}

/// The columns of `area` holding ink (pixels clearly darker than `background`), left to right.
std::vector<int> inkedColumns(const XDriver::Image& screen, const XDriver::Rect& area, int background) {
  std::vector<int> columns;
  for (int x = area.x; x < area.x + area.width; ++x) {
    for (int y = area.y; y < area.y + area.height; ++y) {
      if (luminance(screen.at(x, y)) < background - 60) {
        columns.push_back(x);
        break;
      }
    }
  }
  return columns;
}

/// How many separate vertical runs of ink the columns x0..x1 of `area` hold.
int inkRuns(const XDriver::Image& screen, const XDriver::Rect& area, int x0, int x1, int background) {
  int runs = 0;
  bool inRun = false;
  for (int y = area.y; y < area.y + area.height; ++y) {
    bool ink = false;
    for (int x = x0; x <= x1; ++x) ink = ink || luminance(screen.at(x, y)) < background - 60;
    if (ink && !inRun) ++runs;
    inRun = ink;
  }
  return runs;
}

TEST(SettingsFormPicture, RowsShowLabelsWithColonsAndSectionsTitlesAndDividers) {
  (void)QuarvelTestSupport::temporaryUserDirectories();
  ::setenv("QUARVEL_RESOURCES", QUARVEL_TEST_RESOURCE_DIR, 1);
  ASSERT_TRUE(gtk_init_check());
  Gtk::init_gtkmm_internals();
  XDriver::Session x;
  if (!x.ok()) GTEST_SKIP() << "needs an X server with XTest";

  Gtk::Window window;
  Gtk::HeaderBar headerBar;
  auto* content = Gtk::make_managed<ContentView>(
      SVGQuarvelDocument::newDocument(), NSUserDefaults::fromSuiteName("settings-picture-" + std::to_string(::getpid())),
      13);
  window.set_titlebar(headerBar);
  window.set_child(*content);
  window.set_default_size(1100, 1000);
  content->attachToWindow(window, headerBar);
  window.present();
  auto& form = content->impl().settings();

  std::vector<QuarvelUtilities::PropertySection*> sections;
  for (auto* child = form.get_first_child(); child != nullptr; child = child->get_next_sibling()) {
    if (auto* section = dynamic_cast<QuarvelUtilities::PropertySection*>(child)) sections.push_back(section);
  }
  ASSERT_EQ(sections.size(), 3u);
  // Shown once the titles' text is on the screen.
  XDriver::Image screen;
  ASSERT_TRUE(runMainLoopUntil(
      [&] {
        if (!window.get_mapped()) return false;
        screen = x.grabScreen();
        const auto last = onScreen(x, window, sections.back()->title());
        return last.width > 0 && last.y + last.height < screen.height && darkest(screen, last) < 200;
      },
      20));
  const auto formArea = onScreen(x, window, form);
  x.grab(formArea).savePNG((std::filesystem::path(QUARVEL_TEST_OUTPUT_DIR) / "settings-form.png").string());

  for (auto* section : sections) {
    const std::string name = section->title().get_text();
    auto* rows = section->title().get_next_sibling();
    auto* divider = dynamic_cast<Gtk::Separator*>(section->get_last_child());
    ASSERT_NE(rows, nullptr) << name;
    ASSERT_NE(divider, nullptr) << name;
    const auto title = onScreen(x, window, section->title());
    const auto rowsArea = onScreen(x, window, *rows);
    const auto line = onScreen(x, window, *divider);
    // The form's background: between the first row's label and its control.
    QuarvelUtilities::LabeledField* firstRow = nullptr;
    for (auto* child = rows->get_first_child(); child != nullptr && firstRow == nullptr; child = child->get_next_sibling()) {
      firstRow = dynamic_cast<QuarvelUtilities::LabeledField*>(child);
    }
    ASSERT_NE(firstRow, nullptr) << name;
    const auto firstLabel = onScreen(x, window, firstRow->label());
    const int background = luminance(screen.at(firstLabel.x + firstLabel.width + 4, firstLabel.y + firstLabel.height / 2));

    // The rows start 6 points in from the title, 6 points under it; the divider follows 4 points
    // below the last row and spans the section.
    EXPECT_EQ(rowsArea.x - title.x, 6) << name;
    EXPECT_EQ(rowsArea.y - (title.y + title.height), 6) << name;
    EXPECT_EQ(line.y - (rowsArea.y + rowsArea.height), 4) << name;
    int drawn = 0;
    for (int px = line.x; px < line.x + line.width; ++px) {
      bool differs = false;
      for (int py = line.y; py < line.y + std::max(line.height, 1); ++py) {
        differs = differs || std::abs(luminance(screen.at(px, py)) - background) > 8;
      }
      drawn += differs ? 1 : 0;
    }
    EXPECT_GT(drawn, line.width * 9 / 10) << name << ": no divider line on the screen";

    // The title is dimmed: its darkest ink is lighter than that of a row's label.
    const int titleInk = darkest(screen, title);
    const int labelInk = darkest(screen, firstLabel);
    EXPECT_LT(titleInk, background - 60) << name << ": the title shows no text";
    EXPECT_GT(titleInk, labelInk + 40) << name << ": the title is not in the secondary colour";

    for (auto* child = rows->get_first_child(); child != nullptr; child = child->get_next_sibling()) {
      auto* row = dynamic_cast<QuarvelUtilities::LabeledField*>(child);
      if (row == nullptr) continue;
      const std::string label = row->label().get_text();
      EXPECT_EQ(label.back(), ':') << label;
      // On the screen the label's last glyph is the colon: two dots, one above the other.
      const auto labelArea = onScreen(x, window, row->label());
      const auto columns = inkedColumns(screen, labelArea, background);
      ASSERT_FALSE(columns.empty()) << label;
      // (Its two rightmost columns: the colon stands close to the letter before it.)
      const int first = columns.back() - 1;
      EXPECT_EQ(inkRuns(screen, labelArea, first, columns.back(), background), 2)
          << label << ": no colon at the end (background " << background << ", columns " << first << "-" << columns.back()
          << ")";
      // The control ends at the row's trailing edge.
      const auto rowArea = onScreen(x, window, *row);
      const auto control = onScreen(x, window, *row->get_last_child());
      EXPECT_EQ(control.x + control.width, rowArea.x + rowArea.width) << label;
      EXPECT_GT(control.x, labelArea.x + labelArea.width) << label;
    }
  }
}


/// Whether `widget` carries `value` as its accessible `property`; the difference when it does not.
::testing::AssertionResult carries(Gtk::Widget& widget, GtkAccessibleProperty property, const std::string& value) {
  char* difference = gtk_test_accessible_check_property(GTK_ACCESSIBLE(widget.gobj()), property, value.c_str());
  if (difference == nullptr) return ::testing::AssertionSuccess();
  auto failure = ::testing::AssertionFailure() << difference;
  g_free(difference);
  return failure;
}

TEST(SettingsFormPicture, EachControlGivesAssistiveTechnologyItsOwnTitleThatTheRowDoesNotDraw) {
  (void)QuarvelTestSupport::temporaryUserDirectories();
  ::setenv("QUARVEL_RESOURCES", QUARVEL_TEST_RESOURCE_DIR, 1);
  ASSERT_TRUE(gtk_init_check());
  Gtk::init_gtkmm_internals();

  Gtk::Window window;
  auto* content = Gtk::make_managed<ContentView>(
      SVGQuarvelDocument::newDocument(), NSUserDefaults::fromSuiteName("settings-titles-" + std::to_string(::getpid())),
      13);
  window.set_child(*content);
  window.present();
  ASSERT_TRUE(runMainLoopUntil([&] { return window.get_mapped(); }, 20));

  const auto& controls = content->impl().settings().controls();
  ASSERT_EQ(controls.size(), 13u);
  int toggles = 0, pickers = 0, steppers = 0;
  for (const auto& widgets : controls) {
    const std::string& title = widgets.control->title;
    ASSERT_FALSE(title.empty());
    if (widgets.entry != nullptr) {
      EXPECT_TRUE(carries(*widgets.entry, GTK_ACCESSIBLE_PROPERTY_LABEL, title));
    }
    if (widgets.toggle != nullptr) {
      ++toggles;
      EXPECT_TRUE(widgets.toggle->get_mapped()) << title;
      EXPECT_TRUE(carries(*widgets.toggle, GTK_ACCESSIBLE_PROPERTY_LABEL, title));
    }
    if (widgets.picker != nullptr) {
      ++pickers;
      EXPECT_TRUE(carries(*widgets.picker, GTK_ACCESSIBLE_PROPERTY_LABEL, title));
    }
    if (widgets.number != nullptr) {
      ++steppers;
      auto& up = widgets.number->incrementButton();
      auto& down = widgets.number->decrementButton();
      EXPECT_TRUE(carries(up, GTK_ACCESSIBLE_PROPERTY_LABEL, title));
      EXPECT_TRUE(carries(down, GTK_ACCESSIBLE_PROPERTY_LABEL, title));
      EXPECT_TRUE(carries(up, GTK_ACCESSIBLE_PROPERTY_DESCRIPTION, "Increment"));
      EXPECT_TRUE(carries(down, GTK_ACCESSIBLE_PROPERTY_DESCRIPTION, "Decrement"));
    }
  }
  EXPECT_EQ(toggles, 7);
  EXPECT_EQ(pickers, 3);
  EXPECT_EQ(steppers, 2);
  // The titles that differ from the row's label are the ones only assistive technology gets.
  EXPECT_TRUE(carries(*controls[1].toggle, GTK_ACCESSIBLE_PROPERTY_LABEL, "Generate Preview Provider"));
  EXPECT_TRUE(carries(controls[9].number->incrementButton(), GTK_ACCESSIBLE_PROPERTY_LABEL, "Fraction Digits Step"));
}

}  // namespace
