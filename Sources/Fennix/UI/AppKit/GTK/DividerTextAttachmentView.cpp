#include "Fennix/UI/AppKit/GTK/DividerTextAttachmentView.h"

#include <cmath>
#include <typeinfo>

#include <gdkmm/contentprovider.h>
#include <giomm/inputstream.h>
#include <gtkmm/snapshot.h>

namespace Fennix::GTK {

DividerAttachmentView::DividerAttachmentView(Gtk::TextView& textView, std::shared_ptr<NSTextAttachment> attachment)
    : Glib::ObjectBase("QvDividerTextAttachmentView"), textView_(textView), attachment_(std::move(attachment)) {
  // The divider spans the view: follow the view's width from frame to frame.
  tick_ = gtk_widget_add_tick_callback(
      GTK_WIDGET(gobj()),
      [](GtkWidget*, GdkFrameClock*, gpointer data) -> gboolean {
        auto* self = static_cast<DividerAttachmentView*>(data);
        const int width = int(self->frame().width);
        if (width != self->lastLineWidth_) {
          self->lastLineWidth_ = width;
          self->queue_resize();
        }
        return G_SOURCE_CONTINUE;
      },
      this, nullptr);
}

DividerAttachmentView::~DividerAttachmentView() {
  // The toolkit drops the callback with the widget; a widget still alive must not call back here.
  if (tick_ != 0 && gobj() != nullptr && GTK_IS_WIDGET(gobj())) gtk_widget_remove_tick_callback(GTK_WIDGET(gobj()), tick_);
}

NSTextAttachmentFrame DividerAttachmentView::frame() const {
  if (!attachment_) return {};
  // The text area of a line: the view less its margins; the toolkit pads lines by nothing.
  const double lineWidth =
      std::max(0, textView_.get_width() - textView_.get_left_margin() - textView_.get_right_margin());
  NSTextAttachmentFrame frame = attachment_->attachmentCell()->cellFrame({0, 0, lineWidth, 0}, 0);
  frame.width = std::max(0.0, frame.width - 1);  // leave room for the cursor at the end of the line
  frame.height = std::max(0.0, frame.height);
  return frame;
}

Gtk::SizeRequestMode DividerAttachmentView::get_request_mode_vfunc() const {
  return Gtk::SizeRequestMode::CONSTANT_SIZE;
}

void DividerAttachmentView::measure_vfunc(Gtk::Orientation orientation, int, int& minimum, int& natural,
                                          int& minimumBaseline, int& naturalBaseline) const {
  const NSTextAttachmentFrame cell = frame();
  minimum = natural = int(orientation == Gtk::Orientation::HORIZONTAL ? cell.width : cell.height);
  minimumBaseline = naturalBaseline = -1;
}

void DividerAttachmentView::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  if (!attachment_) return;
  const NSTextAttachmentFrame bounds{0, 0, double(get_width()), double(get_height())};
  const auto strokes = attachment_->attachmentCell()->draw(bounds);
  if (strokes.empty()) return;
  auto cairo = snapshot->append_cairo(Gdk::Rectangle(0, 0, get_width(), get_height()));
  cairo->set_line_width(1);
  for (const NSTextAttachmentStroke& stroke : strokes) {
    cairo->set_source_rgba(stroke.color.redComponent(), stroke.color.greenComponent(), stroke.color.blueComponent(),
                           stroke.color.alphaComponent());
    // A line one pixel wide covers a whole row of pixels when it runs through the middle of one.
    const auto snapped = [](double y) { return std::floor(y - 0.5) + 0.5; };
    cairo->move_to(stroke.fromX, stroke.fromY == stroke.toY ? snapped(stroke.fromY) : stroke.fromY);
    cairo->line_to(stroke.toX, stroke.fromY == stroke.toY ? snapped(stroke.toY) : stroke.toY);
    cairo->stroke();
  }
}

namespace {

/// Whether a cell draws anything of its own: the plain cell is the text view's own placeholder,
/// which an anchor shows without a widget.
bool drawsItself(const NSTextAttachment& attachment) {
  const std::shared_ptr<NSTextAttachmentCell> cell = attachment.attachmentCell();
  const NSTextAttachmentCell& drawn = *cell;
  return typeid(drawn) != typeid(NSTextAttachmentCell);
}

/// An anchor of a text view that shows an attachment, following the attachment's cell: a drawing
/// view while the cell draws itself, none while it is the plain cell. Kept with the anchor.
class AnchorWatch : public std::enable_shared_from_this<AnchorWatch> {
 public:
  AnchorWatch(Gtk::TextView& textView, GtkTextChildAnchor* anchor, const std::shared_ptr<NSTextAttachment>& attachment)
      : anchor_(anchor), attachment_(attachment) {
    g_weak_ref_init(&textView_, textView.gobj());
    g_weak_ref_init(&buffer_, gtk_text_view_get_buffer(textView.gobj()));
  }
  /// Starts following the cell; a watch that is gone by the time a change arrives does nothing.
  void start(NSTextAttachment& attachment) {
    token_ = attachment.observeCellChanges([weak = weak_from_this()] {
      if (auto watch = weak.lock()) watch->follow();
    });
  }
  ~AnchorWatch() {
    g_weak_ref_clear(&textView_);
    g_weak_ref_clear(&buffer_);
  }
  AnchorWatch(const AnchorWatch&) = delete;
  AnchorWatch& operator=(const AnchorWatch&) = delete;

  /// Adds or drops the drawing view as the cell asks; a view that stays is measured and drawn anew.
  void follow() {
    auto attachment = attachment_.lock();
    if (!attachment || gtk_text_child_anchor_get_deleted(anchor_)) return;
    const std::unique_ptr<GObject, decltype(&g_object_unref)> object(static_cast<GObject*>(g_weak_ref_get(&textView_)),
                                                                     g_object_unref);
    if (!object) return;  // the text view is gone
    const std::unique_ptr<GObject, decltype(&g_object_unref)> buffer(static_cast<GObject*>(g_weak_ref_get(&buffer_)),
                                                                     g_object_unref);
    // A view given another buffer no longer shows the anchor; it may show it again later.
    if (!buffer || static_cast<gpointer>(gtk_text_view_get_buffer(GTK_TEXT_VIEW(object.get()))) != buffer.get()) return;
    auto* textView = Glib::wrap(GTK_TEXT_VIEW(object.get()));
    DividerAttachmentView* shown = nullptr;
    guint count = 0;
    GtkWidget** widgets = gtk_text_child_anchor_get_widgets(anchor_, &count);
    for (guint i = 0; i < count && !shown; ++i)
      if (GTK_WIDGET(widgets[i]) && gtk_widget_get_parent(widgets[i]) == GTK_WIDGET(textView->gobj()))
        shown = dynamic_cast<DividerAttachmentView*>(Glib::wrap(widgets[i]));
    g_free(widgets);
    const bool wanted = drawsItself(*attachment);
    if (wanted && !shown) {
      auto* view = Gtk::make_managed<DividerAttachmentView>(*textView, attachment);
      textView->add_child_at_anchor(*view, Glib::wrap(anchor_, true));
    } else if (!wanted && shown) {
      textView->remove(*shown);
    } else if (shown) {
      shown->queue_resize();
    }
  }

 private:
  GtkTextChildAnchor* anchor_;  // owns the watch
  std::weak_ptr<NSTextAttachment> attachment_;
  GWeakRef textView_;
  GWeakRef buffer_;  // the buffer of the anchor
  std::shared_ptr<void> token_;
};

}  // namespace

Glib::RefPtr<Gtk::TextChildAnchor> insertDivider(Gtk::TextView& textView, Gtk::TextBuffer::iterator where,
                                                 std::shared_ptr<QvDividerTextAttachment> attachment) {
  auto anchor = textView.get_buffer()->create_child_anchor(where);
  if (!attachment) return anchor;
  if (drawsItself(*attachment)) {
    auto* view = Gtk::make_managed<DividerAttachmentView>(textView, attachment);
    textView.add_child_at_anchor(*view, anchor);
  }
  // Later cells of the attachment decide anew whether the anchor shows a drawing view.
  auto watch = std::make_shared<AnchorWatch>(textView, anchor->gobj(), attachment);
  watch->start(*attachment);
  g_object_set_data_full(G_OBJECT(anchor->gobj()), "qv-attachment-watch", new std::shared_ptr<AnchorWatch>(watch),
                         [](gpointer data) { delete static_cast<std::shared_ptr<AnchorWatch>*>(data); });
  return anchor;
}

std::string mimeType(const NSPasteboard::PasteboardType& type) {
  if (type.rawValue.find('/') != std::string::npos) return type.rawValue;
  return "application/x-" + type.rawValue;
}

void copyAttachment(const Glib::RefPtr<Gdk::Clipboard>& clipboard, const NSTextAttachment& attachment) {
  std::vector<Glib::RefPtr<Gdk::ContentProvider>> providers;
  for (const NSPasteboard::PasteboardType& type : attachment.writableTypes()) {
    const std::optional<std::string> data = attachment.pasteboardPropertyList(type);
    if (!data) continue;
    auto bytes = Glib::Bytes::create(data->data(), data->size());
    providers.push_back(Gdk::ContentProvider::create(mimeType(type), bytes));
  }
  if (providers.empty()) return;
  clipboard->set_content(Gdk::ContentProvider::create(providers));
}

void readDivider(const Glib::RefPtr<Gdk::Clipboard>& clipboard,
                 std::function<void(std::shared_ptr<QvTextDividerPBItem>)> done) {
  const std::string divider = mimeType(NSPasteboard::PasteboardType::qvDivider());
  clipboard->read_async({divider}, G_PRIORITY_DEFAULT,
                        [clipboard, done = std::move(done)](Glib::RefPtr<Gio::AsyncResult>& result) {
                          std::shared_ptr<QvTextDividerPBItem> item;
                          try {
                            Glib::ustring type;
                            auto stream = clipboard->read_finish(result, type);
                            if (stream) stream->close();
                            item = QvTextDividerPBItem::fromPasteboardPropertyList(
                                "", NSPasteboard::PasteboardType::qvDivider());
                          } catch (const Glib::Error&) {
                            // no divider on the clipboard
                          }
                          done(item);
                        });
}

}  // namespace Fennix::GTK
