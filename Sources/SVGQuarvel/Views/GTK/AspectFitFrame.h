// A frame that holds one view at the width it is given and with the height that keeps a width to
// height ratio, or more where the view needs more at that width: the live preview takes the shape
// of its drawing (and text in its place is never cut). The frame's content may keep a margin of its
// own around what keeps the ratio (the preview page does).
#pragma once

#include <gtkmm/widget.h>

#include <optional>

namespace SVGQuarvelViews {

class AspectFitFrame : public Gtk::Widget {
 public:
  /// The most a frame is taller than it is wide: a drawing taller than that is shown narrower.
  static constexpr double maxHeightPerWidth = 3;

  explicit AspectFitFrame(Gtk::Widget& child, double contentMargin = 0);
  ~AspectFitFrame() override;
  AspectFitFrame(const AspectFitFrame&) = delete;
  AspectFitFrame& operator=(const AspectFitFrame&) = delete;

  /// Width divided by height; none (or not a positive finite number) shows a square.
  void setRatio(std::optional<double> ratio);
  double ratio() const { return ratio_; }
  /// The height the frame's content takes at `width` (both without the frame's border).
  int heightForWidth(int width) const;

 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override;
  void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural, int& minimumBaseline,
                     int& naturalBaseline) const override;
  void size_allocate_vfunc(int width, int height, int baseline) override;

 private:
  Gtk::Widget& child_;
  double contentMargin_;
  double ratio_ = 1;
};

}  // namespace SVGQuarvelViews
