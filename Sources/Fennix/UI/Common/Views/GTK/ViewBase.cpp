#include "Fennix/UI/Common/Views/GTK/ViewBase.h"

#include <gdkmm/contentprovider.h>
#include <glibmm/bytes.h>
#include <gtk/gtk.h>
#include <gtkmm/constraintlayout.h>
#include <gtkmm/settings.h>
#include <gtkmm/snapshot.h>

#include <typeinfo>

#include "Platform/TypeName.h"
#include "Fennix/UI/AppKit/Views/GTK/ImageViews.h"
#include "Fennix/UI/Common/ViewLookup.h"

namespace {

// The inner widget of a base view: it holds the subviews in a constraint layout.
class Holder : public Gtk::Widget {
 public:
  Holder() {
    set_layout_manager(Gtk::ConstraintLayout::create());
    signal_destroy().connect([this] { unparentChildren(); });
  }
  ~Holder() override { unparentChildren(); }

 private:
  void unparentChildren() {
    if (!gobj()) return;
    while (Gtk::Widget* child = get_first_child()) child->unparent();
  }
};

}  // namespace

QvViewBase::QvViewBase() : Glib::ObjectBase("QvViewBase") {
  Fennix::installToolkitLayoutHost();
  holder_ = Gtk::make_managed<Holder>();
  holder_->set_parent(*this);
  Fennix::setLayoutHolder(*this, *holder_);
  signal_destroy().connect([this] { tearDown(); });

  // The appearance follows the toolkit settings of the default display.
  if (GtkSettings* settings = gtk_settings_get_default()) {
    settings_ = G_OBJECT(g_object_ref(settings));
    auto changed = +[](GObject*, GParamSpec*, gpointer view) { static_cast<QvViewBase*>(view)->settingsChanged(); };
    for (const char* signal : {"notify::gtk-application-prefer-dark-theme", "notify::gtk-theme-name"})
      settingsHandlers_.push_back(g_signal_connect(settings, signal, G_CALLBACK(changed), this));
  }
}

QvViewBase::~QvViewBase() { tearDown(); }

// Managed views are torn down when the toolkit disposes of them, others by their destructor.
void QvViewBase::tearDown() {
  if (settings_) {
    for (gulong handler : settingsHandlers_) g_signal_handler_disconnect(settings_, handler);
    settingsHandlers_.clear();
    g_object_unref(settings_);
    settings_ = nullptr;
  }
  if (holder_) {
    Gtk::Widget* holder = holder_;
    holder_ = nullptr;
    holder->unparent();
  }
}

void QvViewBase::runSetup() {
  if (didSetup_) return;
  didSetup_ = true;
  onSetup();
}

void QvViewBase::settingsChanged() {
  Fennix::withEffectiveAppearance(*this, [this] { onAppearanceChange(); });
}

std::string QvViewBase::descriptionPrefix() const {
  return Fennix::descriptionPrefix(Fennix::typeName(typeid(*this)), this);
}

std::string QvViewBase::description() const {
  std::string text = "<" + descriptionPrefix();
  appendToDescription(text);
  return text + ">";
}

Gtk::SizeRequestMode QvViewBase::get_request_mode_vfunc() const {
  return holder_ ? holder_->get_request_mode() : Gtk::SizeRequestMode::CONSTANT_SIZE;
}

void QvViewBase::measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural,
                               int& minimum_baseline, int& natural_baseline) const {
  minimum = natural = 0;
  minimum_baseline = natural_baseline = -1;
  if (holder_) holder_->measure(orientation, for_size, minimum, natural, minimum_baseline, natural_baseline);
}

void QvViewBase::size_allocate_vfunc(int width, int height, int baseline) {
  allocatedWidth_ = width;
  allocatedHeight_ = height;
  allocatedBaseline_ = baseline;
  layoutSubviews();
}

void QvViewBase::layoutSubviews() {
  if (holder_) holder_->size_allocate(Gtk::Allocation(0, 0, allocatedWidth_, allocatedHeight_), allocatedBaseline_);
}

void QvViewBase::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  if (!holder_) return;
  snapshot->save();
  Fennix::applyRotation(*this, snapshot);  // a spinning view turns its content
  snapshot_child(*holder_, snapshot);
  snapshot->restore();
}

// MARK: - Colour views

QvSimpleColorView::QvSimpleColorView() : Glib::ObjectBase("QvSimpleColorView") {}

QvSimpleColorView::QvSimpleColorView(std::optional<NSColor> fill, std::optional<NSColor> stroke)
    : Glib::ObjectBase("QvSimpleColorView"), fillColor_(fill), strokeColor_(stroke) {}

void QvSimpleColorView::setFillColor(std::optional<NSColor> color) {
  fillColor_ = color;
  queue_draw();
}

void QvSimpleColorView::setStrokeColor(std::optional<NSColor> color) {
  strokeColor_ = color;
  queue_draw();
}

bool QvSimpleColorView::isOpaque() const { return fillColor_ && fillColor_->alphaComponent() >= 1.0; }

void QvSimpleColorView::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  Gtk::Widget::snapshot_vfunc(snapshot);
  if (!fillColor_ && !strokeColor_) return;
  const float width = static_cast<float>(get_width()), height = static_cast<float>(get_height());
  snapshot->save();
  const Gdk::Rectangle bounds(0, 0, get_width(), get_height());
  if (fillColor_) snapshot->append_color(Fennix::rgba(*fillColor_), bounds);
  if (strokeColor_) {
    // A one-point line centred on the bounds, as a stroked rectangle path is.
    const float line = 1;
    GskRoundedRect outline;
    const graphene_rect_t rect = GRAPHENE_RECT_INIT(0, 0, width, height);
    gsk_rounded_rect_init_from_rect(&outline, &rect, 0);
    const float widths[4] = {line / 2, line / 2, line / 2, line / 2};
    const GdkRGBA colour = *Fennix::rgba(*strokeColor_).gobj();
    const GdkRGBA colours[4] = {colour, colour, colour, colour};
    gtk_snapshot_append_border(snapshot->gobj(), &outline, widths, colours);
  }
  snapshot->restore();
}

// MARK: - Helpers

namespace Fennix {

std::string describeView(Gtk::Widget* view) {
  if (!view) return "<nil>";
  if (auto* base = dynamic_cast<QvViewBase*>(view)) return base->description();
  std::string text = "<";
  text += G_OBJECT_TYPE_NAME(view->gobj());
  text += ": ";
  text += view->get_name();
  return text + ">";
}

std::string contentViewFormatOf(Gtk::Widget* container) {
  if (auto* base = dynamic_cast<QvViewBase*>(container)) return base->qvContentViewVFL();
  return "|[self]|";
}

NSAppearance effectiveAppearance(const Gtk::Widget& view) {
  GtkSettings* settings = gtk_widget_get_settings(const_cast<GtkWidget*>(view.gobj()));
  gboolean preferDark = false;
  gchar* themeName = nullptr;
  if (settings)
    g_object_get(settings, "gtk-application-prefer-dark-theme", &preferDark, "gtk-theme-name", &themeName, nullptr);
  NSAppearance appearance = appearanceFromSettings(preferDark, themeName ? themeName : "");
  g_free(themeName);
  return appearance;
}

Gdk::RGBA rgba(const NSColor& color) {
  return Gdk::RGBA(color.redComponent(), color.greenComponent(), color.blueComponent(), color.alphaComponent());
}

NSColor color(const Gdk::RGBA& rgba) {
  return NSColor(rgba.get_red(), rgba.get_green(), rgba.get_blue(), rgba.get_alpha());
}

Gtk::Widget* qvFirstSubview(const Gtk::Widget& view, GType ofClass) {
  installToolkitLayoutHost();
  auto found = ::qvSubview(item(view), QvViewSearchOptions::deep(), [ofClass](LayoutItem candidate) {
    return G_TYPE_CHECK_INSTANCE_TYPE(const_cast<void*>(candidate.handle), ofClass);
  });
  return found ? widget(*found) : nullptr;
}

void addSubviews(Gtk::Widget& container, std::initializer_list<Gtk::Widget*> views) {
  installToolkitLayoutHost();
  for (Gtk::Widget* view : views)
    if (view) layoutHost()->addSubview(item(container), item(*view));
}

bool canReadObject(const Glib::RefPtr<Gdk::Clipboard>& clipboard, GType ofType) {
  if (!clipboard) return false;
  auto formats = clipboard->get_formats();
  return formats && formats->contain_gtype(ofType);
}

void readObject(const Glib::RefPtr<Gdk::Clipboard>& clipboard, GType ofType,
                std::function<void(std::optional<Glib::ValueBase>)> then) {
  if (!canReadObject(clipboard, ofType)) {
    then(std::nullopt);
    return;
  }
  auto* callback = new std::function<void(std::optional<Glib::ValueBase>)>(std::move(then));
  gdk_clipboard_read_value_async(
      clipboard->gobj(), ofType, G_PRIORITY_DEFAULT, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<std::function<void(std::optional<Glib::ValueBase>)>> done(
            static_cast<std::function<void(std::optional<Glib::ValueBase>)>*>(data));
        GError* error = nullptr;
        const GValue* value = gdk_clipboard_read_value_finish(GDK_CLIPBOARD(source), result, &error);
        if (!value) {
          if (error) g_error_free(error);
          (*done)(std::nullopt);
          return;
        }
        Glib::ValueBase copy;
        copy.init(value);
        (*done)(std::move(copy));
      },
      callback);
}

void writeText(const Glib::RefPtr<Gdk::Clipboard>& clipboard, const std::string& text) {
  if (!clipboard) return;
  // The toolkit hands a string value to other programs through a conversion that, past a few
  // hundred kilobytes, never answers them, and the clipboard then answers no one at all; the same
  // text as bytes goes out in pieces as long as it takes. Every type of text another program may
  // ask for is therefore offered as bytes: plain text too, as UTF-8, which is what it is read as.
  auto bytes = Glib::Bytes::create(text.data(), text.size());
  Glib::Value<Glib::ustring> value;
  value.init(Glib::Value<Glib::ustring>::value_type());
  value.set(Glib::ustring(text));
  clipboard->set_content(Gdk::ContentProvider::create({Gdk::ContentProvider::create("text/plain;charset=utf-8", bytes),
                                                       Gdk::ContentProvider::create("text/plain", bytes),
                                                       Gdk::ContentProvider::create(value)}));
}

}  // namespace Fennix
