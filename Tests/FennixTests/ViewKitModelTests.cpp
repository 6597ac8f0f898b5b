// Decisions of the image button, the rotation, text fields and the text sizer, without a display.
#include <gtest/gtest.h>

#include <numbers>

#include "FakeLayoutHost.h"
#include "Fennix/Foundation/Text/Appearance.h"
#include "Fennix/UI/AppKit/TextSizer.h"
#include "Fennix/UI/Common/Views/ImageButtonModel.h"
#include "Fennix/UI/Common/Views/Rotation.h"
#include "Fennix/UI/Common/Views/TextFieldModel.h"

using FennixTest::texts;
using FennixTest::WithFakeLayoutHost;
using Strings = std::vector<std::string>;
using Position = NSControlImagePosition;

namespace {

class ImageButtonLayoutTest : public ::testing::Test, public WithFakeLayoutHost {
 protected:
  Fennix::LayoutItem button = host->view("button");
  Fennix::LayoutItem image = host->view("image", button);
  Fennix::LayoutItem label = host->view("label", button);
  Fennix::ImageButtonLayout layout(Position position) {
    return Fennix::imageButtonLayout(position, button, image, label, Fennix::ImageButtonMetrics());
  }
};

TEST_F(ImageButtonLayoutTest, EachImagePositionMakesItsConstraintSet) {
  auto none = layout(Position::noImage);
  EXPECT_EQ(texts(none.constraints), (Strings{"label.leading == button.leading", "label.trailing == button.trailing",
                                              "label.top == button.top", "label.bottom == button.bottom"}));
  EXPECT_EQ(none.labelVisible, true);
  EXPECT_EQ(none.imageVisible, false);

  auto only = layout(Position::imageOnly);
  EXPECT_EQ(texts(only.constraints), (Strings{"image.top == button.top + 3", "image.bottom == button.bottom - 3",
                                              "image.leading == button.leading + 4",
                                              "image.trailing == button.trailing - 3"}));
  EXPECT_EQ(only.labelVisible, false);
  EXPECT_EQ(only.imageVisible, true);

  const Strings leading{"image.top == button.top + 3",
                        "image.bottom == button.bottom - 3",
                        "image.height == 16",
                        "label.centerY == button.centerY + 1",
                        "image.leading == button.leading + 4",
                        "image.width == 16",
                        "label.leading == image.trailing",
                        "label.trailing == button.trailing - 3"};
  EXPECT_EQ(texts(layout(Position::imageLeading).constraints), leading);
  EXPECT_EQ(texts(layout(Position::imageLeft).constraints), leading);

  for (auto position : {Position::imageRight, Position::imageBelow, Position::imageAbove, Position::imageOverlaps,
                        Position::imageTrailing, static_cast<Position>(42)}) {
    auto other = layout(position);
    EXPECT_TRUE(other.constraints.empty());
    EXPECT_FALSE(other.labelVisible);
    EXPECT_FALSE(other.imageVisible);
  }
  EXPECT_EQ(host->activateCalls, 0);
}

TEST(ImageButtonLookTest, DecisionTable) {
  using Fennix::imageButtonLook;
  const auto off = NSControlStateValue::off, on = NSControlStateValue::on;
  EXPECT_EQ(imageButtonLook(true, false, false, off, true).borderWidth, 0);  // no image, no border
  EXPECT_EQ(imageButtonLook(true, true, false, off, true).borderWidth, 1);
  EXPECT_EQ(imageButtonLook(false, true, false, off, true).borderWidth, 0);

  auto highlighted = imageButtonLook(true, true, true, on, false);
  EXPECT_TRUE(highlighted.opaque);
  EXPECT_EQ(highlighted.backgroundColor, NSColor::controlHighlightColor());
  EXPECT_EQ(highlighted.borderColor, NSColor::selectedControlColor());

  auto plain = imageButtonLook(true, true, false, off, true);
  EXPECT_TRUE(plain.opaque);
  EXPECT_EQ(plain.backgroundColor, NSColor::controlColor());
  EXPECT_EQ(plain.borderColor, NSColor::lightGrayColor());
  EXPECT_EQ(plain.cornerRadius, 4);

  auto onState = imageButtonLook(true, true, false, on, true);
  EXPECT_FALSE(onState.opaque);
  EXPECT_EQ(onState.backgroundColor, std::nullopt);  // clear
  EXPECT_EQ(onState.borderColor, NSColor::selectedControlColor());
  EXPECT_FALSE(imageButtonLook(true, true, false, off, false).backgroundColor);

  // Colours follow the current appearance.
  auto dark = Fennix::withAppearance(NSAppearance{NSAppearance::Name::darkAqua},
                                     [] { return imageButtonLook(true, true, true, off, true); });
  EXPECT_NE(dark.backgroundColor, highlighted.backgroundColor);
}

TEST(ImageButtonTrackingTest, PressDragOutAndReleaseOutside) {
  Fennix::ImageButtonTracking tracking;
  EXPECT_FALSE(tracking.mouseDragged(true));  // no press, no highlight
  EXPECT_TRUE(tracking.mouseDown());
  EXPECT_FALSE(tracking.mouseDragged(false));
  EXPECT_TRUE(tracking.mouseDragged(true));  // back inside
  EXPECT_FALSE(tracking.mouseDragged(false));
  EXPECT_FALSE(tracking.mouseUp(false));  // released outside: no action
  EXPECT_FALSE(tracking.isHighlighted());

  EXPECT_TRUE(tracking.mouseDown());
  EXPECT_TRUE(tracking.mouseUp(true));
  EXPECT_FALSE(tracking.isHighlighted());
  EXPECT_FALSE(tracking.mouseUp(true));  // a second release sends nothing
}

TEST(RotationTest, SpinsStopsAndResumesWithAFakeClock) {
  using Direction = Fennix::RotationState::Direction;
  Fennix::RotationState rotation;
  const double turn = 2 * std::numbers::pi;
  EXPECT_TRUE(rotation.start(2, Direction::forward, 100));
  EXPECT_NEAR(rotation.angle(101), -turn / 2, 1e-3);  // forward turns towards negative angles
  EXPECT_FALSE(rotation.start(1, Direction::backward, 101));  // a running spin is not restarted
  EXPECT_NEAR(rotation.angle(102), -turn, 1e-3);
  rotation.stop(102.5);
  EXPECT_NEAR(rotation.restingAngle(), -1.25 * turn, 1e-3);
  EXPECT_NEAR(rotation.angle(200), -1.25 * turn, 1e-3);  // rests where it stopped

  EXPECT_TRUE(rotation.start(4, Direction::backward, 300));  // resumes from the resting angle
  EXPECT_NEAR(rotation.angle(300), -1.25 * turn, 1e-3);
  EXPECT_NEAR(rotation.angle(301), -1.25 * turn + turn / 4, 1e-3);
  EXPECT_TRUE(rotation.isRunning(300 + 4 * 10000 - 1));
  EXPECT_FALSE(rotation.isRunning(300 + 4 * 10000));  // ten thousand turns, then the model angle
  EXPECT_NEAR(rotation.angle(300 + 4 * 10000 + 1), -1.25 * turn, 1e-3);
  EXPECT_FALSE(rotation.start(0, Direction::forward, 1));
  EXPECT_EQ(Fennix::rotationAnimationKey(), "org.quarvel.view.rotation");
}

TEST(TextFieldTest, DrawingRectangleByAlignment) {
  using Alignment = NSTextBlockVerticalAlignment;
  const CGRect bounds(2, 10, 100, 40);
  EXPECT_EQ(Fennix::drawingRect(bounds, 20, Alignment::top, false), bounds);
  EXPECT_EQ(Fennix::drawingRect(bounds, 20, Alignment::middle, false), CGRect(2, 20, 100, 20));
  EXPECT_EQ(Fennix::drawingRect(bounds, 20, Alignment::bottom, false), CGRect(2, 30, 100, 20));
  EXPECT_EQ(Fennix::drawingRect(bounds, 20, Alignment::middle, true), bounds);  // while editing
  for (auto alignment : {Alignment::middle, Alignment::bottom})
    EXPECT_EQ(Fennix::drawingRect(bounds, 40, alignment, false), bounds);  // no extra room
  testing::internal::CaptureStdout();
  EXPECT_EQ(Fennix::drawingRect(bounds, 20, Alignment::baseline, false), bounds);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "drawingRect(forBounds:): unsupported alignment: 3\n");
}

TEST(TextFieldTest, LinkEdits) {
  TextAttributes bold;
  bold.font = NSFont::systemFont(13);
  Fennix::LinkedText field{AttributedString(std::string_view("see 😀 docs here"), bold), {}};
  const NSColor blue(0, 0, 1, 1);
  const auto before = field.text;
  Fennix::makeClickable(field, "nowhere", "https://example.org", blue);
  Fennix::makeClickable(field, NSRange{2, 0}, "https://example.org", blue);
  Fennix::makeClickable(field, NSRange{NSNotFound, 3}, "https://example.org", blue);
  Fennix::makeClickable(field, NSRange{10, 99}, "https://example.org", blue);
  testing::internal::CaptureStderr();
  Fennix::makeClickable(field, "docs", "not a url", blue);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("not a URL"), std::string::npos);
  EXPECT_EQ(field.text, before);
  EXPECT_EQ(Fennix::clickableLink(field), std::nullopt);

  Fennix::makeClickable(field, "docs", "https://example.org/docs", blue);
  ASSERT_EQ(field.links.size(), 1u);
  EXPECT_EQ(field.links[0].range, (NSRange{7, 4}));  // the emoji counts two units
  NSRange run;
  const auto& attributes = field.text.attributes(8, &run);
  EXPECT_EQ(run, (NSRange{7, 4}));
  EXPECT_EQ(attributes.foregroundColor, blue);
  EXPECT_EQ(attributes.underlineStyle, NSUnderlineStyle::single);
  EXPECT_FALSE(attributes.font);  // other attributes of the range are dropped
  EXPECT_EQ(field.text.attributes(0).font, bold.font);
  EXPECT_EQ(field.text.string(), "see 😀 docs here");
  EXPECT_EQ(Fennix::clickableLink(field), "https://example.org/docs");

  field.links.insert(field.links.begin(), {NSRange{0, 3}, std::monostate()});
  EXPECT_EQ(Fennix::clickableLink(field), "https://example.org/docs");  // other values are skipped
  field.links.insert(field.links.begin(), {NSRange{0, 1}, std::string("text link")});
  EXPECT_EQ(Fennix::clickableLink(field), "text link");
}

TEST(TextSizerTest, HeightsAndHits) {
  auto& sizer = QvTextSizer::shared();
  auto font = NSFont::systemFont(13);
  ASSERT_TRUE(font);
  EXPECT_EQ(sizer.height("", font, 100), 0);
  const std::string text = "The quick brown fox jumps over the lazy dog 😀 again and again";
  double previous = 1e9;
  for (double width : {40.0, 80.0, 160.0, 320.0, 2000.0}) {
    const double height = sizer.height(text, font, width);
    EXPECT_GT(height, 0);
    EXPECT_LE(height, previous) << width;
    previous = height;
  }
  EXPECT_LT(sizer.height(text, font, 2000), sizer.height(text, font, 40));
  EXPECT_EQ(sizer.storedText(), "");

  TextAttributes attributes;
  attributes.font = font;
  const AttributedString line(std::string_view("ab😀"), attributes);
  EXPECT_EQ(sizer.boundingRectForGlyphs(NSRange{3, 0}, line), CGRect());
  const CGRect last = sizer.boundingRectForGlyph(2, line);
  EXPECT_GT(last.size.width, 0);
  const double end = last.origin.x + last.size.width;
  const CGSize box{1000, 100};
  EXPECT_EQ(sizer.hitIndex({1, 5}, box, line, 0), 0u);
  EXPECT_EQ(sizer.hitIndex({end + 3, 5}, box, line, 5), 2u);  // within the extra width
  EXPECT_EQ(sizer.hitIndex({end + 10, 5}, box, line, 5), std::nullopt);  // beyond the line end
  EXPECT_EQ(sizer.hitIndex({1, 5}, box, AttributedString(), 0), std::nullopt);
  EXPECT_EQ(sizer.storedText(), "");
}

}  // namespace
