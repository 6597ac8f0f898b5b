// The framed background of a collection item: a rounded rectangle with a thin border that turns to
// the selection colour when its item is selected and to the highlight colour while highlighted. It
// holds one content view, inset on all sides, and measures as that content plus the inset.
#pragma once

#include <gtkmm/widget.h>

#include "Fennix/UI/Common/Views/CollectionItemFrameModel.h"

class QvCVIFrame : public Gtk::Widget {
 public:
  QvCVIFrame();
  ~QvCVIFrame() override;

  Fennix::CollectionItemFrameModel& model() { return model_; }
  double inset() const { return model_.inset(); }
  void setInset(double inset);
  bool isSelected() const { return model_.isSelected(); }
  void setSelected(bool selected);
  NSCollectionViewItemHighlightState highlightState() const { return model_.highlightState(); }
  void setHighlightState(NSCollectionViewItemHighlightState state);
  virtual void onSelectionChange();
  std::string qvContentViewVFL() const { return model_.contentViewVFL(); }

  /// The content view (the first child); replaces the one before.
  void setContentView(Gtk::Widget* view);
  Gtk::Widget* contentView() { return get_first_child(); }
  CGSize intrinsicContentSize() const;

 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override;
  void measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural, int& minimum_baseline,
                     int& natural_baseline) const override;
  void size_allocate_vfunc(int width, int height, int baseline) override;
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;

 private:
  Fennix::CollectionItemFrameModel model_;
};
