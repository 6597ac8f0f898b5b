// Dividers in toolkit text views and on the clipboard: a child anchor of the text buffer showing
// a widget that draws the divider cell across the view, and clipboard content holding a divider
// as the divider type and as plain text.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <gdkmm/clipboard.h>
#include <gtkmm/textview.h>
#include <gtkmm/widget.h>

#include "Fennix/UI/AppKit/DividerTextAttachment.h"

namespace Fennix::GTK {

/// The widget of a divider attachment in a text view: as wide as the view's text area, 11 high,
/// drawing what the attachment's cell draws.
class DividerAttachmentView : public Gtk::Widget {
 public:
  DividerAttachmentView(Gtk::TextView& textView, std::shared_ptr<NSTextAttachment> attachment);
  ~DividerAttachmentView() override;

  const std::shared_ptr<NSTextAttachment>& attachment() const { return attachment_; }
  /// The cell's frame on a line of the view.
  NSTextAttachmentFrame frame() const;

 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override;
  void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural, int& minimumBaseline,
                     int& naturalBaseline) const override;
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;

 private:
  Gtk::TextView& textView_;
  std::shared_ptr<NSTextAttachment> attachment_;
  int lastLineWidth_ = -1;
  guint tick_ = 0;
};

/// Inserts `attachment` at `where`: a child anchor showing its view when its cell is not the plain
/// one (the anchor alone shows the text view's own placeholder, as the plain cell asks). The anchor
/// follows the attachment's cell from then on, while the text view lives and shows the anchor's
/// buffer: a cell set later adds or drops the view. Answers the anchor.
Glib::RefPtr<Gtk::TextChildAnchor> insertDivider(Gtk::TextView& textView, Gtk::TextBuffer::iterator where,
                                                 std::shared_ptr<QvDividerTextAttachment> attachment);

/// The clipboard form of a pasteboard type: plain text as "text/plain;charset=utf-8", the
/// library's own types as "application/x-" followed by their name.
std::string mimeType(const NSPasteboard::PasteboardType& type);

/// Puts the attachment on the clipboard in every type it can be written as.
void copyAttachment(const Glib::RefPtr<Gdk::Clipboard>& clipboard, const NSTextAttachment& attachment);

/// Reads a divider from the clipboard; `done` gets the item, or none when the clipboard holds no
/// divider.
void readDivider(const Glib::RefPtr<Gdk::Clipboard>& clipboard,
                 std::function<void(std::shared_ptr<QvTextDividerPBItem>)> done);

}  // namespace Fennix::GTK
