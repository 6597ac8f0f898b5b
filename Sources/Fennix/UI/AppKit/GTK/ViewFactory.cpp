#include "Fennix/UI/AppKit/GTK/ViewFactory.h"

#include <gdkmm/pixbuf.h>
#include <glibmm/main.h>
#include <gtkmm/gestureclick.h>
#include <gtkmm/icontheme.h>
#include <gtkmm/image.h>
#include <gtkmm/stringlist.h>
#include <pangomm/attrlist.h>

#include <algorithm>
#include <iterator>

#include "Fennix/UI/Common/AutoLayout.h"
#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/Views/FactoryLogic.h"

namespace Fennix {

void prepareForConstraints(Gtk::Widget& view) {
  installToolkitLayoutHost();
  layoutHost()->prepareForConstraints(item(view));
}

void fillSuperview(Gtk::Widget& view) {
  view.set_hexpand(true);
  view.set_vexpand(true);
  view.set_halign(Gtk::Align::FILL);
  view.set_valign(Gtk::Align::FILL);
}

void qvMakeSingleLine(Gtk::Label& label) {
  label.set_ellipsize(Pango::EllipsizeMode::END);
  label.set_wrap(false);
  label.set_single_line_mode(false);
}

ImagePtr namedImage(const std::string& name, int size) {
  auto display = Gdk::Display::get_default();
  if (!display || name.empty()) return nullptr;
  auto theme = Gtk::IconTheme::get_for_display(display);
  if (!theme->has_icon(name)) return nullptr;
  auto icon = theme->lookup_icon(name, size);
  auto file = icon ? icon->get_file() : Glib::RefPtr<Gio::File>();
  if (!file || file->get_path().empty()) return nullptr;
  try {
    return Image::withPixbuf(Gdk::Pixbuf::create_from_file(file->get_path(), size, size));
  } catch (const Glib::Error&) {
    return nullptr;
  }
}

}  // namespace Fennix

namespace {

void setIdentifier(Gtk::Widget& view, const std::optional<std::string>& id) {
  if (id) Fennix::id(view, *id);
}

void setSquareSize(Gtk::Widget& view, std::optional<double> size) {
  if (!size) return;
  const Fennix::LayoutItem item = Fennix::item(view);
  NSLayoutConstraint::activate({NSLayoutConstraint::make(item, NSLayoutAttribute::height, NSLayoutRelation::equal, 1, *size),
                                NSLayoutConstraint::make(item, NSLayoutAttribute::width, NSLayoutRelation::equal, 1, *size)});
}

template <typename T, typename... Args>
T* made(Args&&... args) {
  Fennix::installToolkitLayoutHost();
  T* view = Gtk::make_managed<T>(std::forward<Args>(args)...);
  Fennix::prepareForConstraints(*view);
  return view;
}

void setUpScrollView(Gtk::ScrolledWindow& scroll) {
  scroll.set_policy(Gtk::PolicyType::AUTOMATIC, Gtk::PolicyType::AUTOMATIC);
  scroll.set_overlay_scrolling(true);  // scrollers show only while scrolling
}

}  // namespace

// Labels.

QvLabel::QvLabel() {
  set_selectable(false);
  set_xalign(0);
  add_css_class("qv-label");
}

void QvLabel::setObjectValue(FormatterValue value) {
  objectValue_ = std::move(value);
  refresh();
}

void QvLabel::setFormatter(std::shared_ptr<Formatter> formatter) {
  formatter_ = std::move(formatter);
  refresh();
}

void QvLabel::setAlignment(NSTextAlignment alignment) {
  alignment_ = alignment;
  switch (alignment) {
    case NSTextAlignment::right:
      set_xalign(1);
      set_justify(Gtk::Justification::RIGHT);
      break;
    case NSTextAlignment::center:
      set_xalign(0.5);
      set_justify(Gtk::Justification::CENTER);
      break;
    case NSTextAlignment::justified:
      set_xalign(0);
      set_justify(Gtk::Justification::FILL);
      break;
    default:
      set_xalign(0);
      set_justify(Gtk::Justification::LEFT);
  }
}

void QvLabel::setFont(NSFontPtr font) {
  font_ = std::move(font);
  applyAttributes();
}

void QvLabel::setTextColor(std::optional<NSColor> color) {
  textColor_ = color;
  applyAttributes();
}

void QvLabel::applyAttributes() {
  Pango::AttrList attributes;
  if (font_) {
    auto attribute = Pango::Attribute::create_attr_font_desc(Pango::FontDescription(font_->pangoDescription()));
    attributes.insert(attribute);
  }
  if (textColor_) {
    auto channel = [](double component) { return guint16(std::clamp(component, 0.0, 1.0) * 65535); };
    auto foreground = Pango::Attribute::create_attr_foreground(
        channel(textColor_->redComponent()), channel(textColor_->greenComponent()), channel(textColor_->blueComponent()));
    attributes.insert(foreground);
    auto alpha = Pango::Attribute::create_attr_foreground_alpha(channel(textColor_->alphaComponent()));
    attributes.insert(alpha);
  }
  set_attributes(attributes);
}

void QvLabel::refresh() {
  std::string text;
  if (formatter_) {
    text = formatter_->string(objectValue_).value_or("");
  } else if (const std::string* plain = objectValue_.text()) {
    text = *plain;
  } else if (!objectValue_.isAbsent()) {
    text = QvFormatter().string(objectValue_).value_or("");
  }
  set_text(text);
}

QvCollectionView::QvCollectionView() {
  auto click = Gtk::GestureClick::create();
  click->signal_pressed().connect([this, gesture = click.get()](int, double x, double y) {
    if (!selectable_) return;
    long hit = -1;
    for (std::size_t index = 0; index < items().size() && hit < 0; ++index) {
      Gtk::Widget* item = items()[index];
      double ix = 0, iy = 0;
      if (item->translate_coordinates(*this, 0, 0, ix, iy) && x >= ix && y >= iy && x < ix + item->get_width() &&
          y < iy + item->get_height())
        hit = long(index);
    }
    const bool extend = allowsMultipleSelection_ &&
                        (gesture->get_current_event_state() & Gdk::ModifierType::CONTROL_MASK) == Gdk::ModifierType::CONTROL_MASK;
    std::set<std::size_t> selection = extend ? selection_ : std::set<std::size_t>{};
    if (hit >= 0 && !(extend && selection.erase(std::size_t(hit)))) selection.insert(std::size_t(hit));
    setSelectionIndexes(std::move(selection));
  });
  add_controller(click);
}

void QvCollectionView::setSelectionIndexes(std::set<std::size_t> indexes) {
  std::erase_if(indexes, [&](std::size_t index) { return index >= items().size(); });
  if (!allowsMultipleSelection_ && indexes.size() > 1) indexes = {*indexes.begin()};
  selection_ = std::move(indexes);
  for (std::size_t index = 0; index < items().size(); ++index) {
    if (selection_.count(index)) items()[index]->set_state_flags(Gtk::StateFlags::SELECTED, false);
    else items()[index]->unset_state_flags(Gtk::StateFlags::SELECTED);
  }
}

void NSGridView::addRow(const std::vector<Gtk::Widget*>& views) {
  for (std::size_t column = 0; column < views.size(); ++column) {
    if (views[column]) attach(*views[column], int(column), rows_);
  }
  ++rows_;
  columns_ = std::max(columns_, int(views.size()));
}

// The factory.

QvViewFactoryAppKitImp& QvViewFactoryAppKitImp::defaultViewFactory() {
  // Made once and never released: views may ask for it until the process ends.
  static QvViewFactoryAppKitImp* const shared = new QvViewFactoryAppKitImp();
  return *shared;
}

Gtk::Widget* QvViewFactoryAppKitImp::makeGenericView() {
  auto* view = QvViewBase::make<QvViewBase>();
  Fennix::prepareForConstraints(*view);
  return view;
}

Gtk::Box* QvViewFactoryAppKitImp::makeStackView(const std::vector<Widget*>& views, NSUserInterfaceLayoutOrientation axis,
                                                NSStackViewDistribution distribution,
                                                std::optional<NSLayoutAttribute> alignment,
                                                std::optional<NSLayoutPriority> hugging, double spacing,
                                                const std::function<void(Gtk::Box&)>& configure) {
  const bool vertical = axis == NSUserInterfaceLayoutOrientation::vertical;
  QvStackView* stack = vertical ? static_cast<QvStackView*>(made<UXVerticalStackView>()) : made<UXHorizontalStackView>();
  stack->set_orientation(vertical ? Gtk::Orientation::VERTICAL : Gtk::Orientation::HORIZONTAL);
  stack->set_spacing(int(spacing));
  stack->setDistribution(distribution);
  if (alignment) stack->setAlignment(alignment);
  for (Widget* view : views) {
    if (!view) continue;
    if (view->get_parent()) view->unparent();
    stack->append(*view);
  }
  if (hugging) {
    setHHug(Fennix::item(*stack), *hugging);
    setVHug(Fennix::item(*stack), *hugging);
  }
  if (configure) configure(*stack);
  return stack;
}

QvLabel* QvViewFactoryAppKitImp::makeLabelBase(FormatterValue value) {
  auto* label = made<QvLabel>();
  label->setObjectValue(std::move(value));
  return label;
}

QvLabel* QvViewFactoryAppKitImp::makePropertyLabel(const std::string& text) {
  QvLabel* label = makeLabel(std::nullopt, text);
  Fennix::qvMakeSingleLine(*label);
  label->setAlignment(NSTextAlignment::right);
  return label;
}

Gtk::SearchEntry* QvViewFactoryAppKitImp::makeSearchField() { return made<Gtk::SearchEntry>(); }

Gtk::Entry* QvViewFactoryAppKitImp::makeTextField(const std::optional<std::string>& id) {
  auto* field = made<Gtk::Entry>();
  setIdentifier(*field, id);
  return field;
}

Gtk::PasswordEntry* QvViewFactoryAppKitImp::makeSecureTextField(const std::optional<std::string>& id) {
  auto* field = made<Gtk::PasswordEntry>();
  setIdentifier(*field, id);
  return field;
}

Gtk::CheckButton* QvViewFactoryAppKitImp::makeCheckbox(const std::optional<std::string>& title) {
  auto* box = made<Gtk::CheckButton>(title.value_or(""));
  box->set_active(false);
  return box;
}

Gtk::Button* QvViewFactoryAppKitImp::makeButtonBase(const std::optional<std::string>& title, Fennix::ImagePtr image) {
  auto* button = made<Gtk::Button>();
  auto* content = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 4);
  content->set_halign(Gtk::Align::CENTER);
  if (image) {
    if (auto pixels = image->renderedPixels()) {
      auto* picture = Gtk::make_managed<Gtk::Image>(pixels);
      content->append(*picture);
    }
  }
  auto* label = Gtk::make_managed<Gtk::Label>(title.value_or(""));
  label->set_visible(!title.value_or("").empty() || !image);
  content->append(*label);
  button->set_child(*content);
  return button;
}

QvExtendedScrollView* QvViewFactoryAppKitImp::makeOutlineView(const std::function<void(NSOutlineView&)>& configure) {
  auto* scroll = Gtk::make_managed<QvExtendedScrollView>();
  setUpScrollView(*scroll);
  auto* outline = Gtk::make_managed<NSOutlineView>();
  scroll->set_child(*outline);
  if (configure) configure(*outline);
  return scroll;
}

QvExtendedScrollView* QvViewFactoryAppKitImp::makeSourceListView(const std::function<void(NSOutlineView&)>& configure) {
  auto* scroll = Gtk::make_managed<QvExtendedScrollView>();
  setUpScrollView(*scroll);
  auto* outline = Gtk::make_managed<QvSourceListView>();
  outline->add_css_class("navigation-sidebar");
  outline->setIndentationPerLevel(16);
  NSTableColumn title = NSTableView::qvItem("title", "Title");
  title.isEditable = false;
  title.minWidth = 180;
  outline->addTableColumn(title);
  outline->setOutlineTableColumn(title.identifier);
  scroll->set_child(*outline);
  if (configure) configure(*outline);
  return scroll;
}

QvLabel* QvViewFactoryAppKitImp::makeSourceListItemLabel() {
  auto* label = made<QvLabel>();
  Fennix::fillSuperview(*label);
  label->set_ellipsize(Pango::EllipsizeMode::END);
  label->set_wrap(false);
  label->set_single_line_mode(true);
  return label;
}

QvLabel* QvViewFactoryAppKitImp::makeSourceListHeaderLabel(const std::optional<std::string>& title) {
  auto* label = made<QvLabel>();
  label->set_hexpand(true);
  label->set_ellipsize(Pango::EllipsizeMode::END);
  label->set_wrap(false);
  label->set_single_line_mode(true);
  label->setFont(NSFont::systemFont(NSFont::smallSystemFontSize()));
  Fennix::id(*label, "Header");
  label->setFormatter(std::make_shared<QvUppercaseFormatter>());
  label->setObjectValue(title ? FormatterValue(*title) : FormatterValue());
  return label;
}

Gtk::Frame* QvViewFactoryAppKitImp::makeBox() { return made<Gtk::Frame>(); }

Gtk::Frame* QvViewFactoryAppKitImp::makeBox(const std::function<void(Widget&)>& configure) {
  Gtk::Frame* box = makeBox();
  if (configure) configure(*box);
  return box;
}

namespace {

/// A separator at least as long as it is thick: width ≥ height across, height ≥ width down.
void constrainSeparator(Gtk::Separator& line, bool across) {
  const Fennix::LayoutItem item = Fennix::item(line);
  const auto length = across ? NSLayoutAttribute::width : NSLayoutAttribute::height;
  const auto thickness = across ? NSLayoutAttribute::height : NSLayoutAttribute::width;
  NSLayoutConstraint::activate(
      {NSLayoutConstraint::make(item, length, NSLayoutRelation::greaterThanOrEqual, item, thickness, 1, 0)});
}

}  // namespace

Gtk::Separator* QvViewFactoryAppKitImp::makeHSeparator() {
  auto* line = made<Gtk::Separator>(Gtk::Orientation::HORIZONTAL);
  line->set_size_request(10, 2);
  constrainSeparator(*line, true);
  line->set_hexpand(true);
  setHHug(Fennix::item(*line), 250);
  setVHug(Fennix::item(*line), 750);
  return line;
}

Gtk::Separator* QvViewFactoryAppKitImp::makeVSeparator() {
  auto* line = made<Gtk::Separator>(Gtk::Orientation::VERTICAL);
  line->set_size_request(2, 10);
  constrainSeparator(*line, false);
  line->set_vexpand(true);
  setVHug(Fennix::item(*line), 250);
  setHHug(Fennix::item(*line), 750);
  return line;
}

QvExtendedScrollView* QvViewFactoryAppKitImp::makeScrollView(Widget& documentView) {
  auto* scroll = Gtk::make_managed<QvExtendedScrollView>();
  setUpScrollView(*scroll);
  scroll->set_child(documentView);
  return scroll;
}

QvExtendedScrollView* QvViewFactoryAppKitImp::makeTableView() {
  auto* table = Gtk::make_managed<QvExtendedTableView>();
  Fennix::fillSuperview(*table);
  return makeScrollView(*table);
}

QvExtendedScrollView* QvViewFactoryAppKitImp::makeTableView(const std::function<void(NSTableView&)>& configure) {
  QvExtendedScrollView* scroll = makeTableView();
  if (auto* table = dynamic_cast<NSTableView*>(scroll->get_child()); table && configure) configure(*table);
  return scroll;
}

QvTableViewButtons* QvViewFactoryAppKitImp::makeTableViewButtons(const std::vector<std::any>& images,
                                                                double buttonWidth) {
  return made<QvTableViewButtons>(images, buttonWidth);
}

Gtk::Notebook* QvViewFactoryAppKitImp::makeTabView() { return made<Gtk::Notebook>(); }

QvExtendedScrollView* QvViewFactoryAppKitImp::makeCollectionView(std::shared_ptr<NSCollectionViewLayout> layout) {
  auto* scroll = Gtk::make_managed<QvExtendedScrollView>();
  setUpScrollView(*scroll);
  scroll->set_size_request(300, 200);
  scroll->set_kinetic_scrolling(false);  // no rubber band
  QvCollectionView* collection = makeRawCollectionView();
  collection->setSelectable(true);
  collection->setAllowsMultipleSelection(true);
  collection->setCollectionViewLayout(std::move(layout));
  scroll->set_child(*collection);
  return scroll;
}

QvExtendedScrollView* QvViewFactoryAppKitImp::makeCollectionView(
    std::shared_ptr<NSCollectionViewLayout> layout, const std::function<void(QvCollectionView&)>& configure) {
  QvExtendedScrollView* scroll = makeCollectionView(std::move(layout));
  Fennix::installToolkitLayoutHost();  // the search below goes through it
  if (auto* collection = Fennix::qvFirstSubview<QvCollectionView>(*scroll); collection && configure) {
    configure(*collection);
  }
  return scroll;
}

QvCollectionView* QvViewFactoryAppKitImp::makeRawCollectionView() {
  auto* collection = Gtk::make_managed<QvCollectionView>();
  Fennix::fillSuperview(*collection);
  return collection;
}

QvExtendedScrollView* QvViewFactoryAppKitImp::makeTextView() {
  auto* scroll = Gtk::make_managed<QvExtendedScrollView>();
  Fennix::prepareForConstraints(*scroll);
  setUpScrollView(*scroll);
  scroll->set_child(*makeRawTextView());
  return scroll;
}

QvExtendedScrollView* QvViewFactoryAppKitImp::makeTextView(const std::function<void(Gtk::TextView&)>& configure) {
  QvExtendedScrollView* scroll = makeTextView();
  if (auto* text = dynamic_cast<Gtk::TextView*>(scroll->get_child()); text && configure) configure(*text);
  return scroll;
}

Gtk::TextView* QvViewFactoryAppKitImp::makeRawTextView() {
  auto* text = Gtk::make_managed<Gtk::TextView>();
  Fennix::fillSuperview(*text);
  return text;
}

Gtk::Scale* QvViewFactoryAppKitImp::makeSlider(double value, double min, double max) {
  auto* slider = made<Gtk::Scale>(Gtk::Orientation::HORIZONTAL);
  // A range whose ends are the wrong way round is taken as the one value (the toolkit refuses it).
  slider->set_range(min, std::max(min, max));
  slider->set_value(value);
  return slider;
}

Gtk::Spinner* QvViewFactoryAppKitImp::makeSpinner() {
  auto* spinner = made<Gtk::Spinner>();  // draws nothing while stopped
  spinner->set_size_request(16, 16);
  return spinner;
}

QvSubviewDividerView* QvViewFactoryAppKitImp::makeDividerView(
    const std::function<void(QvSubviewDividerView&)>& configure) {
  auto* divider = QvViewBase::make<QvSubviewDividerView>();
  Fennix::prepareForConstraints(*divider);
  if (configure) configure(*divider);
  return divider;
}

Gtk::Widget* QvViewFactoryAppKitImp::makeVisualEffectsSeeThroughContainer() {
  // The toolkit has no behind-window blending: a plain container.
  return Gtk::make_managed<Gtk::Box>();
}

Gtk::ColorButton* QvViewFactoryAppKitImp::makeColorWell() { return made<Gtk::ColorButton>(); }

Gtk::DropDown* QvViewFactoryAppKitImp::makePopUp(const std::vector<std::string>& titles) {
  std::vector<Glib::ustring> strings(titles.begin(), titles.end());
  return made<Gtk::DropDown>(Gtk::StringList::create(strings));
}

QvImageViewBase* QvViewFactoryAppKitImp::makeImageViewBase() { return made<UXLayerBackedImageView>(); }

// Makers built on the others.

Gtk::Widget* QvViewFactoryAppKitImp::makeGenericView(const std::function<void(Widget&)>& configure) {
  Widget* view = makeGenericView();
  if (configure) configure(*view);
  return view;
}

QvLabel* QvViewFactoryAppKitImp::makeLabel(const std::optional<std::string>& id, const std::string& text,
                                           std::optional<NSTextAlignment> align, NSFontPtr font,
                                           std::optional<NSColor> color, const QvStyles::Label* style,
                                           std::shared_ptr<Formatter> formatter, std::optional<NSLayoutPriority> hhug,
                                           std::optional<NSLayoutPriority> vhug) {
  QvLabel* label = makeLabelBase(FormatterValue(text));
  setIdentifier(*label, id);
  const Fennix::LabelLooks looks = Fennix::labelLooks(align, std::move(font), color, style);
  if (looks.font) label->setFont(looks.font);
  if (looks.color) label->setTextColor(looks.color);
  label->setAlignment(looks.align);
  if (hhug) setHHug(Fennix::item(*label), *hhug);
  if (vhug) setVHug(Fennix::item(*label), *vhug);
  if (formatter) label->setFormatter(std::move(formatter));
  return label;
}

Gtk::Widget* QvViewFactoryAppKitImp::makeRootView() {
  Widget* view = makeGenericView();
  Fennix::fillSuperview(*view);
  return view;
}

Gtk::Widget* QvViewFactoryAppKitImp::makeRootView(const std::function<void(Widget&)>& configure) {
  Widget* view = makeRootView();
  if (configure) configure(*view);
  return view;
}

QvImageViewBase* QvViewFactoryAppKitImp::makeImageView(const std::optional<std::string>& id, Fennix::ImagePtr image,
                                                       const std::optional<std::string>& imageNamed,
                                                       std::optional<double> squareSize) {
  QvImageViewBase* view = makeImageViewBase();
  setIdentifier(*view, id);
  if (image) view->setImage(std::move(image));
  if (imageNamed) view->setImage(Fennix::namedImage(*imageNamed));
  setSquareSize(*view, squareSize);
  return view;
}

Gtk::Button* QvViewFactoryAppKitImp::makeButton(const std::optional<std::string>& id,
                                                const std::optional<std::string>& title, Fennix::ImagePtr image,
                                                std::optional<double> squareSize) {
  Gtk::Button* button = makeButtonBase(title, std::move(image));
  setIdentifier(*button, id);
  setSquareSize(*button, squareSize);
  return button;
}

Gtk::Widget* QvViewFactoryAppKitImp::makePadder(std::optional<double> v, std::optional<double> h, bool expands) {
  Widget* view = makeGenericView();
  const Fennix::LayoutItem item = Fennix::item(*view);
  const Fennix::PadderPlan plan = Fennix::padderPlan(item, v, h, expands);
  if (plan.verticalHugging) setVHug(item, *plan.verticalHugging);
  if (plan.horizontalHugging) setHHug(item, *plan.horizontalHugging);
  if (!plan.constraints.empty()) NSLayoutConstraint::activate(plan.constraints);
  return view;
}

QvExtendedScrollView* QvViewFactoryAppKitImp::makeOneColumnTableView(const std::function<void(NSTableView&)>& configure) {
  return makeTableView([&](NSTableView& table) {
    table.setHeaderVisible(false);
    table.setAllowsColumnResizing(false);
    table.set_reorderable(false);
    table.setAllowsEmptySelection(true);
    table.setAllowsMultipleSelection(false);
    NSTableColumn result = NSTableView::qvItem("result");
    result.isEditable = false;
    // Columns take the table's spare width: the one column fills the table.
    table.addTableColumn(result);
    if (configure) configure(table);
  });
}

NSGridView* QvViewFactoryAppKitImp::makeGrid(std::optional<int> columns, std::optional<int> rows,
                                             const std::function<void(NSGridView&)>& configure) {
  const auto size = Fennix::gridSize(columns, rows);
  auto* grid = size ? made<NSGridView>(size->columns, size->rows) : made<NSGridView>();
  if (configure) configure(*grid);
  return grid;
}

NSGridView* QvViewFactoryAppKitImp::makeGrid(const std::vector<std::vector<Widget*>>& views) {
  auto* grid = made<NSGridView>();
  for (const auto& row : Fennix::gridRows(views)) grid->addRow(row);
  return grid;
}

Gtk::Button* QvViewFactoryAppKitImp::makeBadgeButton(double size) {
  auto* button = made<Gtk::Button>();
  auto* label = Gtk::make_managed<Gtk::Label>();
  label->set_justify(Gtk::Justification::CENTER);
  Pango::AttrList attributes;
  if (NSFontPtr font = NSFont::systemFont(size)) {
    if (NSFontPtr bold = font->qvBold()) font = bold;
    auto attribute = Pango::Attribute::create_attr_font_desc(Pango::FontDescription(font->pangoDescription()));
    attributes.insert(attribute);
  }
  label->set_attributes(attributes);
  button->set_child(*label);
  button->add_css_class("pill");
  return button;
}

QvBackgroundBox* QvViewFactoryAppKitImp::makeBackgroundBox(std::optional<NSColor> color,
                                                           const std::function<void(QvBackgroundBox&)>& configure) {
  auto* box = made<QvBackgroundBox>();
  box->setFillColor(color.value_or(NSColor::clearColor()));
  box->setStrokeColor(std::nullopt);
  if (configure) configure(*box);
  return box;
}

QvSimpleColorView* QvViewFactoryAppKitImp::makeBackground(std::optional<NSColor> color, bool desktopTint,
                                                          const std::function<void(QvSimpleColorView&)>& configure) {
  QvSimpleColorView* view = nullptr;
  if (desktopTint) {
    view = makeBackgroundBox(color);
  } else {
    view = made<QvSimpleColorView>();
    view->setFillColor(color);
  }
  if (configure) configure(*view);
  return view;
}

QvProgressBar* QvViewFactoryAppKitImp::makeProgressBar() {
  auto* bar = made<QvProgressBar>();
  bar->set_size_request(42, 4);
  bar->setDisplayedWhenStopped(false);
  return bar;
}

Gtk::Box* QvViewFactoryAppKitImp::makeVStack(const std::optional<std::string>& id, NSStackViewDistribution vdist,
                                             std::optional<NSLayoutAttribute> halign,
                                             std::optional<NSLayoutPriority> hug, double spacing,
                                             const std::vector<Widget*>& views,
                                             const std::function<void(Gtk::Box&)>& block) {
  std::vector<Widget*> present;
  std::copy_if(views.begin(), views.end(), std::back_inserter(present), [](Widget* view) { return view != nullptr; });
  Gtk::Box* stack = makeStackView(present, NSUserInterfaceLayoutOrientation::vertical, vdist, halign, hug, spacing, block);
  setIdentifier(*stack, id);
  return stack;
}

Gtk::Box* QvViewFactoryAppKitImp::makeHStack(const std::optional<std::string>& id, NSStackViewDistribution hdist,
                                             std::optional<NSLayoutAttribute> valign, double spacing,
                                             std::optional<NSLayoutPriority> hug, std::optional<NSLayoutPriority> hhug,
                                             const std::vector<Widget*>& views,
                                             const std::function<void(Gtk::Box&)>& block) {
  std::vector<Widget*> present;
  std::copy_if(views.begin(), views.end(), std::back_inserter(present), [](Widget* view) { return view != nullptr; });
  Gtk::Box* stack = makeStackView(present, NSUserInterfaceLayoutOrientation::horizontal, hdist, valign, hug, spacing, block);
  setIdentifier(*stack, id);
  if (hhug) setHHug(Fennix::item(*stack), *hhug);
  return stack;
}

QvProgressBar::QvProgressBar() = default;

QvProgressBar::~QvProgressBar() { pulse_.disconnect(); }

void QvProgressBar::startAnimation() {
  set_visible(true);
  if (pulse_.connected()) return;
  pulse_ = Glib::signal_timeout().connect(
      [this] {
        pulse();
        return true;
      },
      100);
}

void QvProgressBar::stopAnimation() {
  pulse_.disconnect();
  set_fraction(0);
  set_visible(displayedWhenStopped_);
}

void QvProgressBar::setDisplayedWhenStopped(bool displayed) {
  displayedWhenStopped_ = displayed;
  if (!isAnimating()) set_visible(displayed);
}
