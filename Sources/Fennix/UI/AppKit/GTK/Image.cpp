#include "Fennix/UI/AppKit/GTK/Image.h"

#include <gdk/gdk.h>
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace Fennix {

namespace {

constexpr int maximumSide = 16384;

Glib::RefPtr<Gdk::Pixbuf> pixbufOf(const Cairo::RefPtr<Cairo::ImageSurface>& surface) {
  surface->flush();
  GdkPixbuf* pixbuf = gdk_pixbuf_get_from_surface(surface->cobj(), 0, 0, surface->get_width(), surface->get_height());
  return pixbuf ? Glib::wrap(pixbuf) : Glib::RefPtr<Gdk::Pixbuf>();
}

std::optional<Bytes> saveAs(const Glib::RefPtr<Gdk::Pixbuf>& pixbuf, const char* type) {
  if (!pixbuf) return std::nullopt;
  gchar* buffer = nullptr;
  gsize size = 0;
  GError* error = nullptr;
  if (!gdk_pixbuf_save_to_buffer(pixbuf->gobj(), &buffer, &size, type, &error, nullptr)) {
    if (error) g_error_free(error);
    return std::nullopt;
  }
  Bytes bytes(reinterpret_cast<std::uint8_t*>(buffer), reinterpret_cast<std::uint8_t*>(buffer) + size);
  g_free(buffer);
  return bytes;
}

int pixelSide(double length) { return static_cast<int>(std::lround(std::clamp(length, 0.0, double(maximumSide)))); }

// MARK: GIF writing

struct Palette {
  std::vector<GifColorType> colours;
  std::map<std::uint32_t, int> exact;  // 0xRRGGBB → index, when the frame has few colours
  bool cube = false;

  int index(std::uint8_t r, std::uint8_t g, std::uint8_t b) const {
    if (!cube) return exact.at((std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b);
    const int ri = (r * 5 + 127) / 255, gi = (g * 6 + 127) / 255, bi = (b * 5 + 127) / 255;
    return (ri * 7 + gi) * 6 + bi;
  }
};

// An exact table for up to 255 colours; otherwise a cube of 6 reds, 7 greens and 6 blues.
Palette paletteOf(const Glib::RefPtr<Gdk::Pixbuf>& pixels) {
  Palette palette;
  const int width = pixels->get_width(), height = pixels->get_height(), stride = pixels->get_rowstride();
  const int channels = pixels->get_n_channels();
  const bool alpha = pixels->get_has_alpha();
  const guint8* data = pixels->get_pixels();
  for (int y = 0; y < height && !palette.cube; ++y) {
    for (int x = 0; x < width; ++x) {
      const guint8* p = data + std::size_t(y) * stride + std::size_t(x) * channels;
      if (alpha && p[3] < 128) continue;
      const std::uint32_t key = (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
      if (palette.exact.count(key)) continue;
      if (palette.exact.size() == 255) {
        palette.cube = true;
        break;
      }
      palette.exact.emplace(key, static_cast<int>(palette.exact.size()));
    }
  }
  if (palette.cube) {
    palette.exact.clear();
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 7; ++g)
        for (int b = 0; b < 6; ++b)
          palette.colours.push_back({GifByteType(r * 51), GifByteType(g * 255 / 6), GifByteType(b * 51)});
  } else {
    palette.colours.resize(palette.exact.size());
    for (auto [key, at] : palette.exact)
      palette.colours[at] = {GifByteType(key >> 16), GifByteType((key >> 8) & 0xff), GifByteType(key & 0xff)};
  }
  return palette;
}

int writeToBytes(GifFileType* gif, const GifByteType* data, int length) {
  auto* bytes = static_cast<Bytes*>(gif->UserData);
  bytes->insert(bytes->end(), data, data + length);
  return length;
}

struct GifWriter {
  GifFileType* gif = nullptr;
  ~GifWriter() {
    if (gif) EGifCloseFile(gif, nullptr);
  }
  bool close() {
    const bool ok = EGifCloseFile(gif, nullptr) == GIF_OK;
    gif = nullptr;
    return ok;
  }
};

}  // namespace

std::optional<Bytes> encodeGIF(const std::vector<BitmapImageRep::Frame>& frames, bool loop) {
  if (frames.empty()) return std::nullopt;
  for (const auto& frame : frames)
    if (!frame.pixels) return std::nullopt;
  const int width = frames.front().pixels->get_width(), height = frames.front().pixels->get_height();
  if (width > 65535 || height > 65535) return std::nullopt;

  Bytes bytes;
  GifWriter writer;
  int error = 0;
  writer.gif = EGifOpen(&bytes, writeToBytes, &error);
  if (!writer.gif) return std::nullopt;
  EGifSetGifVersion(writer.gif, true);
  if (EGifPutScreenDesc(writer.gif, width, height, 8, 0, nullptr) != GIF_OK) return std::nullopt;
  if (loop) {
    static const GifByteType application[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType loopForever[] = {1, 0, 0};
    if (EGifPutExtensionLeader(writer.gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
        EGifPutExtensionBlock(writer.gif, sizeof application, application) != GIF_OK ||
        EGifPutExtensionBlock(writer.gif, sizeof loopForever, loopForever) != GIF_OK ||
        EGifPutExtensionTrailer(writer.gif) != GIF_OK)
      return std::nullopt;
  }

  for (const auto& frame : frames) {
    const auto& pixels = frame.pixels;
    const int frameWidth = std::min(pixels->get_width(), width), frameHeight = std::min(pixels->get_height(), height);
    Palette palette = paletteOf(pixels);
    const int transparent = static_cast<int>(palette.colours.size());
    palette.colours.resize(256, GifColorType{0, 0, 0});

    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_BACKGROUND;
    control.DelayTime = frame.duration ? static_cast<int>(std::lround(std::clamp(*frame.duration, 0.0, 655.0) * 100)) : 0;
    control.TransparentColor = transparent;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);
    if (EGifPutExtension(writer.gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) != GIF_OK)
      return std::nullopt;

    ColorMapObject* map = GifMakeMapObject(256, palette.colours.data());
    if (!map) return std::nullopt;
    const int put = EGifPutImageDesc(writer.gif, 0, 0, frameWidth, frameHeight, false, map);
    GifFreeMapObject(map);
    if (put != GIF_OK) return std::nullopt;

    const int stride = pixels->get_rowstride(), channels = pixels->get_n_channels();
    const bool alpha = pixels->get_has_alpha();
    const guint8* data = pixels->get_pixels();
    std::vector<GifPixelType> line(static_cast<std::size_t>(frameWidth));
    for (int y = 0; y < frameHeight; ++y) {
      for (int x = 0; x < frameWidth; ++x) {
        const guint8* p = data + std::size_t(y) * stride + std::size_t(x) * channels;
        line[std::size_t(x)] =
            alpha && p[3] < 128 ? GifPixelType(transparent) : GifPixelType(palette.index(p[0], p[1], p[2]));
      }
      if (EGifPutLine(writer.gif, line.data(), frameWidth) != GIF_OK) return std::nullopt;
    }
  }
  if (!writer.close()) return std::nullopt;
  return bytes;
}

// MARK: - Bitmaps

void BitmapImageRep::setCurrentFrame(int frame) {
  if (frame >= 0 && frame < frameCount()) currentFrame_ = frame;
}

std::optional<double> BitmapImageRep::currentFrameDuration() const {
  if (frames_.empty()) return std::nullopt;
  return frames_[std::size_t(currentFrame_)].duration;
}

Glib::RefPtr<Gdk::Pixbuf> BitmapImageRep::currentPixels() const {
  if (frames_.empty()) return {};
  return frames_[std::size_t(currentFrame_)].pixels;
}

int BitmapImageRep::pixelsWide() const {
  auto pixels = currentPixels();
  return pixels ? pixels->get_width() : 0;
}

int BitmapImageRep::pixelsHigh() const {
  auto pixels = currentPixels();
  return pixels ? pixels->get_height() : 0;
}

std::optional<Bytes> BitmapImageRep::pngData() const { return saveAs(currentPixels(), "png"); }

std::optional<Bytes> BitmapImageRep::gifData() const {
  auto pixels = currentPixels();
  if (!pixels) return std::nullopt;
  return encodeGIF({{pixels, std::nullopt}}, false);
}

// MARK: - Images

ImagePtr Image::withPixbuf(const Glib::RefPtr<Gdk::Pixbuf>& pixels) { return withFrames({{pixels, std::nullopt}}); }

ImagePtr Image::withFrames(std::vector<BitmapImageRep::Frame> frames) {
  CGSize size;
  if (!frames.empty() && frames.front().pixels)
    size = {double(frames.front().pixels->get_width()), double(frames.front().pixels->get_height())};
  auto image = std::make_shared<Image>(Token(), size);
  image->representations_.emplace_back(std::make_shared<BitmapImageRep>(std::move(frames)));
  return image;
}

ImagePtr Image::withDrawing(CGSize size, Drawing drawing) {
  auto image = std::make_shared<Image>(Token(), size);
  image->representations_.emplace_back(std::move(drawing));
  return image;
}

ImagePtr Image::empty(CGSize size) { return std::make_shared<Image>(Token(), size); }

std::shared_ptr<BitmapImageRep> Image::qvBitmapRepresentation() const {
  for (const auto& representation : representations_)
    if (auto* bitmap = std::get_if<std::shared_ptr<BitmapImageRep>>(&representation)) return *bitmap;
  return nullptr;
}

int Image::qvBitmapImageFrameCount() const {
  auto bitmap = qvBitmapRepresentation();
  return bitmap ? bitmap->frameCount() : 0;
}

void Image::draw(const Cairo::RefPtr<Cairo::Context>& context, const CGRect& rect) const {
  if (representations_.empty() || !(rect.size.width > 0) || !(rect.size.height > 0)) return;
  context->save();
  context->translate(rect.origin.x, rect.origin.y);
  if (auto bitmap = qvBitmapRepresentation(); bitmap && bitmap->currentPixels()) {
    auto pixels = bitmap->currentPixels();
    context->scale(rect.size.width / pixels->get_width(), rect.size.height / pixels->get_height());
    gdk_cairo_set_source_pixbuf(context->cobj(), pixels->gobj(), 0, 0);
    // Edge pixels repeat outward, so scaled edges do not fade into transparency.
    cairo_pattern_set_extend(cairo_get_source(context->cobj()), CAIRO_EXTEND_PAD);
    context->rectangle(0, 0, pixels->get_width(), pixels->get_height());
    context->clip();
    context->paint();
  } else if (auto* drawing = std::get_if<Drawing>(&representations_.front()); drawing && *drawing) {
    if (size_.width > 0 && size_.height > 0) context->scale(rect.size.width / size_.width, rect.size.height / size_.height);
    (*drawing)(context, size_.width, size_.height);
  }
  context->restore();
}

Glib::RefPtr<Gdk::Pixbuf> Image::renderedPixels() const {
  if (auto bitmap = qvBitmapRepresentation(); bitmap && bitmap->currentPixels()) return bitmap->currentPixels();
  const int width = pixelSide(size_.width), height = pixelSide(size_.height);
  if (width < 1 || height < 1) return {};
  auto surface = Cairo::ImageSurface::create(Cairo::Surface::Format::ARGB32, width, height);
  draw(Cairo::Context::create(surface), CGRect(0, 0, width, height));
  return pixbufOf(surface);
}

ImagePtr Image::qvTint(const NSColor& color) {
  if (!isTemplate_) return shared_from_this();
  const int width = pixelSide(size_.width), height = pixelSide(size_.height);
  auto surface = Cairo::ImageSurface::create(Cairo::Surface::Format::ARGB32, std::max(width, 1), std::max(height, 1));
  auto context = Cairo::Context::create(surface);
  draw(context, CGRect(0, 0, width, height));
  // Source-atop: only the image's opaque pixels take the colour.
  context->set_operator(Cairo::Context::Operator::ATOP);
  context->set_source_rgba(color.redComponent(), color.greenComponent(), color.blueComponent(), color.alphaComponent());
  context->rectangle(0, 0, width, height);
  context->fill();
  auto tinted = withPixbuf(pixbufOf(surface));
  tinted->size_ = size_;
  tinted->isTemplate_ = false;
  return tinted;
}

ImagePtr Image::qvResize(CGSize size, const NSEdgeInsets& inset) const {
  const int width = std::max(pixelSide(size.width), 1), height = std::max(pixelSide(size.height), 1);
  auto surface = Cairo::ImageSurface::create(Cairo::Surface::Format::ARGB32, width, height);
  // The target inset from every edge; y grows downward here, so the top inset moves the origin.
  const CGRect target(inset.left, inset.top, size.width - (inset.left + inset.right),
                      size.height - (inset.top + inset.bottom));
  draw(Cairo::Context::create(surface), target);
  auto resized = withPixbuf(pixbufOf(surface));
  resized->size_ = size;
  resized->isTemplate_ = isTemplate_;
  return resized;
}

std::optional<Bytes> Image::qvMakeGIF() {
  auto bitmap = qvBitmapRepresentation();
  if (!bitmap) return std::nullopt;
  const int count = bitmap->frameCount();
  if (count <= 1) return bitmap->gifData();
  std::vector<BitmapImageRep::Frame> frames;
  frames.reserve(std::size_t(count));
  for (int i = 0; i < count; ++i) {
    bitmap->setCurrentFrame(i);
    auto pixels = bitmap->currentPixels();
    if (!pixels) return std::nullopt;  // a frame without pixel data cannot be written
    frames.push_back({pixels, bitmap->currentFrameDuration()});
  }
  return encodeGIF(frames, true);
}

std::optional<Image::DataRepresentation> Image::qvMakeBestDataRepresentation() {
  if (representations_.empty()) return std::nullopt;
  if (qvBitmapImageFrameCount() >= 2) {
    if (auto gif = qvMakeGIF()) return DataRepresentation{std::move(*gif), gifTypeIdentifier};
  }
  if (auto bitmap = qvBitmapRepresentation()) {
    if (auto png = bitmap->pngData()) return DataRepresentation{std::move(*png), pngTypeIdentifier};
  }
  // Drawn images become pixels first.
  if (auto png = saveAs(renderedPixels(), "png")) return DataRepresentation{std::move(*png), pngTypeIdentifier};
  return std::nullopt;
}

}  // namespace Fennix
