// Images, image views, the spin, the image button and the text pieces in real windows.
#include <gif_lib.h>
#include <gtkmm/label.h>

#include <cmath>
#include <cstring>

#include "Fennix/UI/AppKit/GTK/Image.h"
#include "Fennix/UI/AppKit/Views/GTK/ImageButton.h"
#include "Fennix/UI/AppKit/Views/GTK/ImageViews.h"
#include "Fennix/UI/AppKit/Views/GTK/TextFields.h"
#include "Fennix/UI/Common/GTK/AutoLayoutGTK.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"
#include "FennixTests/GTK/ViewKitWindowSupport.h"

using namespace ViewKitWindowSupport;
using Fennix::Image;
using Fennix::ImagePtr;

namespace {

// A square of `side` pixels: opaque `rgb` in the left half, transparent in the right half.
Glib::RefPtr<Gdk::Pixbuf> halfSquare(int side, std::uint32_t rgb) {
  auto pixels = Gdk::Pixbuf::create(Gdk::Colorspace::RGB, true, 8, side, side);
  pixels->fill(0);
  guint8* data = pixels->get_pixels();
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side / 2; ++x) {
      guint8* p = data + y * pixels->get_rowstride() + x * 4;
      p[0] = guint8(rgb >> 16), p[1] = guint8(rgb >> 8), p[2] = guint8(rgb), p[3] = 255;
    }
  return pixels;
}

std::uint32_t rgbaAt(const Glib::RefPtr<Gdk::Pixbuf>& pixels, int x, int y) {
  const guint8* p = pixels->get_pixels() + y * pixels->get_rowstride() + x * pixels->get_n_channels();
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

struct DecodedGIF {
  int frames = 0;
  std::vector<int> delays;
  bool loops = false;
  std::vector<std::uint32_t> firstPixels;  // 0xRRGGBB of pixel (0, 0) per frame
};

DecodedGIF decode(const Fennix::Bytes& bytes) {
  struct Reader {
    const Fennix::Bytes* bytes;
    std::size_t at = 0;
  } reader{&bytes};
  int error = 0;
  GifFileType* gif = DGifOpen(
      &reader,
      [](GifFileType* file, GifByteType* out, int length) {
        auto* r = static_cast<Reader*>(file->UserData);
        const int n = int(std::min<std::size_t>(std::size_t(length), r->bytes->size() - r->at));
        std::memcpy(out, r->bytes->data() + r->at, std::size_t(n));
        r->at += std::size_t(n);
        return n;
      },
      &error);
  DecodedGIF decoded;
  if (!gif || DGifSlurp(gif) != GIF_OK) return decoded;
  decoded.frames = gif->ImageCount;
  for (int i = 0; i < gif->ImageCount; ++i) {
    GraphicsControlBlock control{};
    DGifSavedExtensionToGCB(gif, i, &control);
    decoded.delays.push_back(control.DelayTime);
    const SavedImage& image = gif->SavedImages[i];
    const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    const GifColorType c = map->Colors[image.RasterBits[0]];
    decoded.firstPixels.push_back((std::uint32_t(c.Red) << 16) | (std::uint32_t(c.Green) << 8) | c.Blue);
  }
  // Extensions before the first image belong to it.
  for (int i = 0; i < gif->ImageCount; ++i)
    for (int e = 0; e < gif->SavedImages[i].ExtensionBlockCount; ++e)
      if (gif->SavedImages[i].ExtensionBlocks[e].Function == APPLICATION_EXT_FUNC_CODE) decoded.loops = true;
  DGifCloseFile(gif, nullptr);
  return decoded;
}

TEST(ViewKitImageTest, TintResizeAndDataRepresentations) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  auto plain = Image::withPixbuf(halfSquare(8, 0x336699));
  EXPECT_EQ(plain->qvTint(NSColor(1, 0, 0, 1)), plain);  // not a template: the same object

  auto icon = Image::withPixbuf(halfSquare(8, 0x000000));
  icon->setTemplate(true);
  auto tinted = icon->qvTint(NSColor(1, 0, 0, 1));
  ASSERT_NE(tinted, icon);
  EXPECT_FALSE(tinted->isTemplate());
  EXPECT_EQ(tinted->size().width, 8);
  auto tintedPixels = tinted->renderedPixels();
  EXPECT_EQ(rgbaAt(tintedPixels, 1, 1), 0xff0000ffu);  // opaque pixels take the colour
  EXPECT_EQ(rgbaAt(tintedPixels, 6, 1) & 0xff, 0u);     // transparent ones stay so

  auto whole = plain->qvResize({16, 16}, {});
  EXPECT_TRUE(near(rgbaAt(whole->renderedPixels(), 1, 15) >> 8, 0x336699, 3));
  EXPECT_EQ(rgbaAt(whole->renderedPixels(), 1, 15) & 0xff, 0xffu);
  EXPECT_FALSE(whole->isTemplate());
  auto padded = icon->qvResize({16, 16}, NSEdgeInsets{8, 0, 0, 0});  // top 8: drawn into the lower half
  EXPECT_TRUE(padded->isTemplate());
  EXPECT_EQ(rgbaAt(padded->renderedPixels(), 1, 2) & 0xff, 0u);
  EXPECT_EQ(rgbaAt(padded->renderedPixels(), 1, 12) & 0xff, 0xffu);

  // A drawn image has no bitmap: no frames, no GIF, PNG through its pixels.
  auto drawing = Image::withDrawing({10, 10}, [](const Cairo::RefPtr<Cairo::Context>& context, double w, double h) {
    context->set_source_rgb(0, 1, 0);
    context->rectangle(0, 0, w, h);
    context->fill();
  });
  EXPECT_EQ(drawing->qvBitmapImageFrameCount(), 0);
  EXPECT_FALSE(drawing->qvMakeGIF());
  auto drawnData = drawing->qvMakeBestDataRepresentation();
  ASSERT_TRUE(drawnData);
  EXPECT_EQ(drawnData->uti, "public.png");
  EXPECT_FALSE(Image::empty({4, 4})->qvMakeBestDataRepresentation());

  auto single = plain->qvMakeBestDataRepresentation();
  ASSERT_TRUE(single);
  EXPECT_EQ(single->uti, "public.png");  // one frame: never GIF
}

TEST(ViewKitImageTest, ThreeFramesBecomeAnAnimatedGIF) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  auto animation = Image::withFrames({{halfSquare(12, 0xff0000), 0.1},
                                      {halfSquare(12, 0x00ff00), 0.25},
                                      {halfSquare(12, 0x0000ff), std::nullopt}});
  auto data = animation->qvMakeBestDataRepresentation();
  ASSERT_TRUE(data);
  EXPECT_EQ(data->uti, "com.compuserve.gif");
  EXPECT_EQ(animation->qvBitmapRepresentation()->currentFrame(), 2);  // left at the last frame
  auto decoded = decode(data->data);
  EXPECT_EQ(decoded.frames, 3);
  EXPECT_EQ(decoded.delays, (std::vector<int>{10, 25, 0}));
  EXPECT_EQ(decoded.firstPixels, (std::vector<std::uint32_t>{0xff0000, 0x00ff00, 0x0000ff}));
  EXPECT_TRUE(decoded.loops);

  // Many colours go through the colour cube and stay close.
  auto gradient = Gdk::Pixbuf::create(Gdk::Colorspace::RGB, false, 8, 64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      guint8* p = gradient->get_pixels() + y * gradient->get_rowstride() + x * 3;
      p[0] = guint8(x * 4), p[1] = guint8(y * 4), p[2] = 200;
    }
  auto rich = Image::withFrames({{gradient, 0.1}, {gradient, 0.1}});
  EXPECT_EQ(decode(*rich->qvMakeGIF()).frames, 2);

  auto broken = Image::withFrames({{halfSquare(4, 0), 0.1}, {Glib::RefPtr<Gdk::Pixbuf>(), 0.1}});
  EXPECT_FALSE(broken->qvMakeGIF());
  auto fallback = broken->qvMakeBestDataRepresentation();  // the first frame as PNG
  ASSERT_TRUE(fallback);
  EXPECT_EQ(fallback->uti, "public.png");
}

TEST(ViewKitImageTest, ImageViewsKeepTheVeryImageAndTrackOnce) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  QvHoverImageView view;
  view.setImage(nullptr);
  EXPECT_EQ(view.drawnImageReplacements(), 0);
  auto image = Image::withPixbuf(halfSquare(8, 0x112233));
  view.setImage(image);
  view.setImage(image);
  EXPECT_EQ(view.drawnImageReplacements(), 1);
  EXPECT_EQ(view.image(), image);
  auto twin = Image::withPixbuf(halfSquare(8, 0x112233));
  view.setImage(twin);
  EXPECT_EQ(view.drawnImageReplacements(), 2);
  EXPECT_EQ(view.image(), twin);

  view.updateTrackingAreas();
  view.updateTrackingAreas();
  int motionControllers = 0;
  auto controllers = view.observe_controllers();
  for (guint i = 0; i < controllers->get_n_items(); ++i)
    if (GTK_IS_EVENT_CONTROLLER_MOTION(controllers->get_object(i)->gobj())) ++motionControllers;
  EXPECT_EQ(motionControllers, 1);

  std::vector<bool> changes;
  struct Recording : QvHoverImageView {
    std::vector<bool>* changes = nullptr;
    void hoverChanged(bool inside) override { changes->push_back(inside); }
  } recording;
  recording.changes = &changes;
  recording.setMouseInside(true);
  recording.setMouseInside(true);  // reported also without a change
  recording.setMouseInside(false);
  EXPECT_EQ(changes, (std::vector<bool>{true, true, false}));
}

// An arrow pointing right from the centre: red shaft, on a transparent square.
ImagePtr arrow() {
  return Image::withDrawing({60, 60}, [](const Cairo::RefPtr<Cairo::Context>& context, double w, double h) {
    context->set_source_rgb(1, 0, 0);
    context->rectangle(w / 2, h / 2 - 4, w / 2, 8);
    context->fill();
  });
}

TEST(ViewKitImageTest, SpinningViewWithAFakeClock) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  double now = 1000;
  auto savedClock = Fennix::rotationClock();
  Fennix::rotationClock() = [&] { return now; };
  Gtk::Window window;
  auto* spinner = Gtk::make_managed<UXLayerBackedImageView>();
  spinner->setImage(arrow());
  spinner->set_size_request(60, 60);
  window.set_child(*spinner);
  window.present();
  ASSERT_TRUE(pumpUntil([&] { return spinner->get_width() == 60; }));

  auto redAt = [&](int x, int y) {
    spinner->queue_draw();
    GdkTexture* texture = nullptr;
    pumpUntil([&] { return (texture = renderWidget(*spinner)) != nullptr; });
    const std::uint32_t colour = pixel(texture, x, y);
    g_object_unref(texture);
    return near(colour, 0xff0000, 40);
  };
  EXPECT_TRUE(redAt(52, 30));
  qvAnim(*spinner).startRotation(4, QvViewAnimations::Direction::forward);
  now += 1;  // a quarter turn; forward is clockwise on screen, so the arrow points down
  pumpFrames();
  EXPECT_TRUE(redAt(30, 52));
  EXPECT_FALSE(redAt(52, 30));
  saveScreenshot(*spinner, "spinning-quarter-turn");
  qvAnim(*spinner).startRotation(1, QvViewAnimations::Direction::backward);  // no restart
  now += 1;
  pumpFrames();
  EXPECT_TRUE(redAt(8, 30));  // half a turn: pointing left
  saveScreenshot(*spinner, "spinning-half-turn");
  qvAnim(*spinner).stopRotation();
  now += 10;
  EXPECT_TRUE(redAt(8, 30));  // rests where it stopped
  qvAnim(*spinner).startRotation(4, QvViewAnimations::Direction::backward);
  now += 1;  // backward: a quarter turn counter-clockwise from the left is down
  EXPECT_TRUE(redAt(30, 52));

  Gtk::Label plain("x");
  testing::internal::CaptureStdout();
  qvAnim(plain).startRotation(1, QvViewAnimations::Direction::forward);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "startRotation(speed:direction:): view got no layer ...\n");
  Fennix::rotationClock() = savedClock;
  window.close();
}

TEST(ViewKitImageTest, ImageButtonLayoutLooksAndPresses) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  Gtk::Window window;
  auto* root = QvViewBase::make<QvViewBase>();
  window.set_child(*root);
  window.set_default_size(220, 150);
  auto* off = QvImageButton::make();
  auto* on = QvImageButton::make();
  auto* highlighted = QvImageButton::make();
  auto* marked = QvImageButton::make();
  auto icon = Image::withPixbuf(halfSquare(16, 0x2a7d2a));
  int row = 0;
  for (auto* button : {off, on, highlighted, marked}) {
    button->setTitle("Button");
    button->setImage(icon);
    button->setBordered(true);  // the border follows the image on the next update
    qvAdd(*root, std::nullopt, *button, std::nullopt, "H:|-8-[self]", "V:|-" + std::to_string(8 + row * 30) + "-[self]");
    ++row;
  }
  on->setState(NSControlStateValue::on);
  EXPECT_FALSE(off->isOpaque());
  marked->setOpaque(true);
  window.present();
  ASSERT_TRUE(pumpUntil([&] { return highlighted->get_height() > 0; }));
  pumpFrames();

  EXPECT_EQ(off->get_height(), 22);  // 3 + 16 + 3
  graphene_rect_t imageBounds{};
  ASSERT_TRUE(gtk_widget_compute_bounds(GTK_WIDGET(off->views().image->gobj()), GTK_WIDGET(off->gobj()), &imageBounds));
  EXPECT_EQ(imageBounds.origin.x, 4);
  EXPECT_EQ(imageBounds.origin.y, 3);
  EXPECT_EQ(imageBounds.size.width, 16);
  EXPECT_EQ(off->look().borderWidth, 1);
  EXPECT_EQ(on->look().backgroundColor, std::nullopt);
  // Off and not marked opaque, the button draws no background: what lies behind it shows through
  // (right of its label, inside its border). Marked opaque, it fills with the control colour.
  {
    GdkTexture* all = nullptr;
    ASSERT_TRUE(pumpUntil([&] { return (all = renderWidget(*root)) != nullptr; }));
    const std::uint32_t behind = pixel(all, 200, 140);
    const int inside = 8 + off->get_width() - 2;
    EXPECT_EQ(off->look().backgroundColor, std::nullopt);
    EXPECT_EQ(pixel(all, inside, 8 + 11), behind) << std::hex << pixel(all, inside, 8 + 11);
    Fennix::withEffectiveAppearance(*marked, [&] {
      EXPECT_NE(NSColor::controlColor().rgbValue(), behind);
      EXPECT_TRUE(near(pixel(all, 8 + marked->get_width() - 2, 98 + 11), NSColor::controlColor().rgbValue(), 10))
          << std::hex << pixel(all, 8 + marked->get_width() - 2, 98 + 11);
    });
    g_object_unref(all);
  }

  int clicks = 0;
  highlighted->onClick([&](QvImageButton&) { ++clicks; });
  const int updates = highlighted->lookUpdates();
  highlighted->setHighlighted(false);  // its current value: nothing is redrawn
  EXPECT_EQ(highlighted->lookUpdates(), updates);
  highlighted->mouseDown();
  EXPECT_TRUE(highlighted->isHighlighted());
  highlighted->mouseDragged(500, 5);
  EXPECT_FALSE(highlighted->isHighlighted());
  highlighted->mouseDragged(5, 5);
  EXPECT_TRUE(highlighted->isHighlighted());
  pumpFrames();
  saveScreenshot(*root, "image-buttons-off-on-highlighted");
  GdkTexture* picture = nullptr;
  ASSERT_TRUE(pumpUntil([&] { return (picture = renderWidget(*highlighted)) != nullptr; }));
  Fennix::withEffectiveAppearance(*highlighted, [&] {
    EXPECT_TRUE(near(pixel(picture, highlighted->get_width() - 2, 11), NSColor::controlHighlightColor().rgbValue(), 10));
  });
  g_object_unref(picture);
  highlighted->mouseDragged(500, 5);
  highlighted->mouseUp(500, 5);
  EXPECT_EQ(clicks, 0);  // released outside
  EXPECT_FALSE(highlighted->isHighlighted());
  highlighted->mouseDown();
  highlighted->mouseUp(5, 5);
  EXPECT_EQ(clicks, 1);

  highlighted->setImagePosition(NSControlImagePosition::imageOnly);
  EXPECT_FALSE(highlighted->views().label->get_visible());
  EXPECT_EQ(highlighted->activeConstraints().size(), 4u);
  highlighted->setImagePosition(NSControlImagePosition::imageAbove);
  EXPECT_TRUE(highlighted->activeConstraints().empty());
  EXPECT_FALSE(highlighted->views().label->get_visible());  // unchanged
  highlighted->prepareForReuse();
  EXPECT_EQ(highlighted->image(), nullptr);
  EXPECT_EQ(highlighted->title(), "");
  window.close();
}

TEST(ViewKitImageTest, TextFieldsPlaceAndGrow) {
  ASSERT_TRUE(gtkReady()) << "needs a display: run under xvfb-run";
  Gtk::Window window;
  auto* root = QvViewBase::make<QvViewBase>();
  window.set_child(*root);
  window.set_default_size(240, 200);
  auto* field = Gtk::make_managed<QvTextField>();
  Fennix::setVerticalAlignment(*field, NSTextBlockVerticalAlignment::middle);
  qvAdd(*root, std::nullopt, *field, std::nullopt, "H:|-8-[self]-8-|", "V:|-8-[self(==80)]");
  auto* growing = Gtk::make_managed<QvGrowingTextField>();
  growing->get_buffer()->set_text("one\ntwo\nthree 😀");
  qvAdd(*root, std::nullopt, *growing, std::nullopt, "H:|-8-[self(==200)]", "V:[self]-8-|");
  window.present();
  ASSERT_TRUE(pumpUntil([&] { return field->get_height() == 80 && growing->get_height() > 0; }));
  pumpFrames();
  const CGRect rect = field->entryRect();
  EXPECT_GT(rect.origin.y, 0);
  EXPECT_NEAR(rect.origin.y * 2 + rect.size.height, 80, 1);  // centred
  EXPECT_EQ(Fennix::verticalAlignment(*field), NSTextBlockVerticalAlignment::middle);
  Gtk::Entry plain;
  Fennix::setVerticalAlignment(plain, NSTextBlockVerticalAlignment::bottom);
  EXPECT_EQ(Fennix::verticalAlignment(plain), NSTextBlockVerticalAlignment::top);

  int minimum = 0, oneLine = 0, editing = 0, ignored = 0;
  growing->measure(Gtk::Orientation::VERTICAL, 200, minimum, oneLine, ignored, ignored);
  growing->setEditing(true);
  growing->measure(Gtk::Orientation::VERTICAL, 200, minimum, editing, ignored, ignored);
  EXPECT_GT(editing, oneLine * 2);
  growing->get_buffer()->set_text("one");
  pumpFrames();
  growing->measure(Gtk::Orientation::VERTICAL, 200, minimum, editing, ignored, ignored);
  EXPECT_LE(editing, oneLine + 1);

  int clicks = 0;
  QvClickableLabel label("Click me");
  label.onClick([&](QvClickableLabel&) { ++clicks; }).mouseDown();
  EXPECT_EQ(clicks, 1);  // on the press

  Fennix::LinkedText linked{AttributedString(std::string_view("Read the <docs> now")), {}};
  Fennix::makeClickable(linked, "<docs>", "https://example.org/?a=1&b=2", NSColor(0, 0, 1, 1));
  Gtk::Label links;
  Fennix::setLinkedText(links, linked);
  EXPECT_EQ(links.get_text(), "Read the <docs> now");
  EXPECT_NE(Fennix::linkedTextMarkup(linked).find("<a href=\"https://example.org/?a=1&amp;b=2\">"), std::string::npos);
  window.close();
}

}  // namespace
