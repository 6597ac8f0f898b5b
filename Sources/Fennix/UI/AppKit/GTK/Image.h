// Images with pixels: bitmap representations of one or more frames, or drawings made on demand.
// Images are shared objects: views compare them by identity. The helpers tint template images,
// resize into padded canvases, and write the best file data (GIF for several frames, else PNG).
#pragma once

#include <cairomm/context.h>
#include <gdkmm/pixbuf.h>
#include <gdkmm/texture.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Fennix/Foundation/Text/Color.h"
#include "Platform/EdgeInsets.h"
#include "Platform/Geometry.h"

namespace Fennix {

using Bytes = std::vector<std::uint8_t>;

/// One or more frames of pixels, with the frame the bitmap currently shows.
class BitmapImageRep {
 public:
  struct Frame {
    Glib::RefPtr<Gdk::Pixbuf> pixels;  // none: a frame without pixel data
    std::optional<double> duration;    // seconds
  };

  explicit BitmapImageRep(std::vector<Frame> frames) : frames_(std::move(frames)) {}

  int frameCount() const { return static_cast<int>(frames_.size()); }
  int currentFrame() const { return currentFrame_; }
  /// Frames outside the bitmap are not selected.
  void setCurrentFrame(int frame);
  std::optional<double> currentFrameDuration() const;
  Glib::RefPtr<Gdk::Pixbuf> currentPixels() const;
  int pixelsWide() const;
  int pixelsHigh() const;

  /// PNG or single-frame GIF data of the current frame; none without pixel data.
  std::optional<Bytes> pngData() const;
  std::optional<Bytes> gifData() const;

 private:
  std::vector<Frame> frames_;
  int currentFrame_ = 0;
};

class Image;
using ImagePtr = std::shared_ptr<Image>;

class Image : public std::enable_shared_from_this<Image> {
 public:
  /// A drawing into a context, over the rectangle from the origin with the given size.
  using Drawing = std::function<void(const Cairo::RefPtr<Cairo::Context>&, double width, double height)>;
  using Representation = std::variant<std::shared_ptr<BitmapImageRep>, Drawing>;

  static ImagePtr withPixbuf(const Glib::RefPtr<Gdk::Pixbuf>& pixels);
  static ImagePtr withFrames(std::vector<BitmapImageRep::Frame> frames);
  static ImagePtr withDrawing(CGSize size, Drawing drawing);
  /// An image of the given size without representations.
  static ImagePtr empty(CGSize size);

  CGSize size() const { return size_; }
  void setSize(CGSize size) { size_ = size; }
  bool isTemplate() const { return isTemplate_; }
  void setTemplate(bool isTemplate) { isTemplate_ = isTemplate; }
  const std::vector<Representation>& representations() const { return representations_; }

  /// A colour-filled copy of a template image (only its opaque pixels take the colour); the
  /// image itself when it is no template.
  ImagePtr qvTint(const NSColor& color);
  /// A new image of `size` with this one drawn into it, inset by `inset`. The insets count in the
  /// image's own space: the bottom inset lifts the drawing, the top inset lowers its top edge.
  ImagePtr qvResize(CGSize size, const NSEdgeInsets& inset) const;
  std::shared_ptr<BitmapImageRep> qvBitmapRepresentation() const;
  /// 0 without a bitmap representation.
  int qvBitmapImageFrameCount() const;
  /// GIF data of the image, every frame with its duration, repeating forever; none when a frame
  /// has no pixel data. Leaves the bitmap at its last frame.
  std::optional<Bytes> qvMakeGIF();

  struct DataRepresentation {
    Bytes data;
    std::string uti;
  };
  /// GIF for two or more frames, else PNG; none for an image without representations.
  std::optional<DataRepresentation> qvMakeBestDataRepresentation();

  /// Draws the current frame (or the drawing) into `rect` of the context.
  void draw(const Cairo::RefPtr<Cairo::Context>& context, const CGRect& rect) const;
  /// The pixels of the current frame, or of the drawing at the image's size.
  Glib::RefPtr<Gdk::Pixbuf> renderedPixels() const;

  /// Use the factories; public only for std::make_shared.
  struct Token {
    explicit Token() = default;
  };
  Image(Token, CGSize size) : size_(size) {}

 private:
  CGSize size_;
  bool isTemplate_ = false;
  std::vector<Representation> representations_;
};

inline constexpr const char* gifTypeIdentifier = "com.compuserve.gif";
inline constexpr const char* pngTypeIdentifier = "public.png";

/// GIF data of frames: a colour table of at most 256 entries per frame (exact when a frame has
/// few colours, else a fixed cube), transparency for pixels of alpha below one half, durations
/// in hundredths of a second, and a loop forever when `loop` is set.
std::optional<Bytes> encodeGIF(const std::vector<BitmapImageRep::Frame>& frames, bool loop);

}  // namespace Fennix
