// The view factory: the widgets of code-built interfaces with the kit's house defaults. Labels are
// plain, non-selectable labels; scroll views autohide their scrollers; source lists have the
// sidebar look; almost every view is made for constraint layout. Ask the shared factory (`qv()`)
// rather than making these widgets yourself. The makers are virtual and call each other through
// `this`, so a subclass that overrides one maker changes every view built on it.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/checkbutton.h>
#include <gtkmm/colorbutton.h>
#include <gtkmm/dropdown.h>
#include <gtkmm/entry.h>
#include <gtkmm/flowbox.h>
#include <gtkmm/frame.h>
#include <gtkmm/grid.h>
#include <gtkmm/label.h>
#include <gtkmm/notebook.h>
#include <gtkmm/passwordentry.h>
#include <gtkmm/progressbar.h>
#include <gtkmm/scale.h>
#include <gtkmm/searchentry.h>
#include <gtkmm/separator.h>
#include <gtkmm/spinner.h>
#include <gtkmm/textview.h>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Fennix/Foundation/Formatter.h"
#include "Fennix/UI/AppKit/GTK/Image.h"
#include "Fennix/UI/AppKit/Views/GTK/ImageViews.h"
#include "Fennix/UI/AppKit/Views/GTK/SplitViews.h"
#include "Fennix/UI/AppKit/Views/GTK/TableViews.h"
#include "Fennix/UI/Common/CVLayouts/GTK/CollectionViewGTK.h"
#include "Fennix/UI/Common/StackViewTypes.h"
#include "Fennix/UI/Common/Styles.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"


/// An indeterminate progress bar that runs between `startAnimation()` and `stopAnimation()`; hidden
/// while stopped unless told otherwise.
class QvProgressBar : public Gtk::ProgressBar {
 public:
  QvProgressBar();
  ~QvProgressBar() override;
  void startAnimation();
  void stopAnimation();
  bool isAnimating() const { return pulse_.connected(); }
  bool isDisplayedWhenStopped() const { return displayedWhenStopped_; }
  void setDisplayedWhenStopped(bool displayed);

 private:
  sigc::connection pulse_;
  bool displayedWhenStopped_ = true;
};

/// A non-editable label with an object value; a formatter, when set, makes the text it shows.
class QvLabel : public Gtk::Label {
 public:
  QvLabel();
  const FormatterValue& objectValue() const { return objectValue_; }
  void setObjectValue(FormatterValue value);
  /// The text shown for the object value.
  std::string stringValue() const { return get_text(); }
  const std::shared_ptr<Formatter>& formatter() const { return formatter_; }
  void setFormatter(std::shared_ptr<Formatter> formatter);
  NSTextAlignment alignment() const { return alignment_; }
  void setAlignment(NSTextAlignment alignment);
  const NSFontPtr& font() const { return font_; }
  void setFont(NSFontPtr font);
  const std::optional<NSColor>& textColor() const { return textColor_; }
  void setTextColor(std::optional<NSColor> color);

 private:
  void refresh();
  void applyAttributes();
  FormatterValue objectValue_;
  std::shared_ptr<Formatter> formatter_;
  NSTextAlignment alignment_ = NSTextAlignment::left;
  NSFontPtr font_;
  std::optional<NSColor> textColor_;
};

/// The layouts a collection view takes: flow layouts, such as the left-aligned one.
using NSCollectionViewLayout = NSCollectionViewFlowLayout;

/// A collection of item views placed by its layout. When selectable, a click selects the item under
/// it; with multiple selection, a click with Control held adds or removes the item.
class QvCollectionView : public QvFlowLayoutCollectionView {
 public:
  QvCollectionView();
  /// Appends an item view.
  void append(Gtk::Widget& item) { appendItem(item); }
  bool isSelectable() const { return selectable_; }
  void setSelectable(bool selectable) { selectable_ = selectable; }
  bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
  void setAllowsMultipleSelection(bool allows) { allowsMultipleSelection_ = allows; }
  const std::set<std::size_t>& selectionIndexes() const { return selection_; }
  /// Selects the items (those that exist); selected item views carry the selected state.
  void setSelectionIndexes(std::set<std::size_t> indexes);

 private:
  bool selectable_ = false;
  bool allowsMultipleSelection_ = false;
  std::set<std::size_t> selection_;
};

/// A grid of views that knows how many rows and columns it was made with.
class NSGridView : public Gtk::Grid {
 public:
  NSGridView(int columns = 0, int rows = 0) : columns_(columns), rows_(rows) {}
  int numberOfColumns() const { return columns_; }
  int numberOfRows() const { return rows_; }
  /// Appends a row; a null entry is an empty cell.
  void addRow(const std::vector<Gtk::Widget*>& views);
  /// The view of a cell; null for an empty one.
  Gtk::Widget* cellView(int column, int row) { return get_child_at(column, row); }

 private:
  int columns_;
  int rows_;
};

/// A box with a fill colour and no border.
class QvBackgroundBox : public QvSimpleColorView {
 public:
  QvBackgroundBox() = default;
};

class QvViewFactoryAppKitImp {
 public:
  using Widget = Gtk::Widget;
  QvViewFactoryAppKitImp() = default;
  virtual ~QvViewFactoryAppKitImp() = default;

  /// The shared factory, made on first use and kept for the life of the process.
  static QvViewFactoryAppKitImp& defaultViewFactory();

  // The overridable makers.
  virtual Widget* makeGenericView();
  virtual Gtk::Box* makeStackView(const std::vector<Widget*>& views, NSUserInterfaceLayoutOrientation axis,
                                  NSStackViewDistribution distribution, std::optional<NSLayoutAttribute> alignment,
                                  std::optional<NSLayoutPriority> hugging, double spacing,
                                  const std::function<void(Gtk::Box&)>& configure);
  virtual QvLabel* makeLabelBase(FormatterValue value);
  virtual QvLabel* makePropertyLabel(const std::string& text);
  virtual Gtk::SearchEntry* makeSearchField();
  virtual Gtk::Entry* makeTextField(const std::optional<std::string>& id);
  virtual Gtk::PasswordEntry* makeSecureTextField(const std::optional<std::string>& id);
  virtual Gtk::CheckButton* makeCheckbox(const std::optional<std::string>& title);
  virtual Gtk::Button* makeButtonBase(const std::optional<std::string>& title, Fennix::ImagePtr image);
  virtual QvExtendedScrollView* makeOutlineView(const std::function<void(NSOutlineView&)>& configure);
  virtual QvExtendedScrollView* makeSourceListView(const std::function<void(NSOutlineView&)>& configure);
  virtual QvLabel* makeSourceListItemLabel();
  virtual QvLabel* makeSourceListHeaderLabel(const std::optional<std::string>& title);
  virtual Gtk::Frame* makeBox();
  virtual Gtk::Frame* makeBox(const std::function<void(Widget&)>& configure);
  virtual Gtk::Separator* makeHSeparator();
  virtual Gtk::Separator* makeVSeparator();
  virtual QvExtendedScrollView* makeScrollView(Widget& documentView);
  virtual QvExtendedScrollView* makeTableView();
  virtual QvExtendedScrollView* makeTableView(const std::function<void(NSTableView&)>& configure);
  /// Images as images or icon names (see QvTableViewButtons).
  virtual QvTableViewButtons* makeTableViewButtons(const std::vector<std::any>& images, double buttonWidth);
  virtual Gtk::Notebook* makeTabView();
  virtual QvExtendedScrollView* makeCollectionView(std::shared_ptr<NSCollectionViewLayout> layout);
  virtual QvExtendedScrollView* makeCollectionView(std::shared_ptr<NSCollectionViewLayout> layout,
                                                   const std::function<void(QvCollectionView&)>& configure);
  virtual QvCollectionView* makeRawCollectionView();
  virtual QvExtendedScrollView* makeTextView(const std::function<void(Gtk::TextView&)>& configure);
  virtual QvExtendedScrollView* makeTextView();
  virtual Gtk::TextView* makeRawTextView();
  virtual Gtk::Scale* makeSlider(double value, double min, double max);
  virtual Gtk::Spinner* makeSpinner();
  virtual QvSubviewDividerView* makeDividerView(const std::function<void(QvSubviewDividerView&)>& configure);
  virtual Widget* makeVisualEffectsSeeThroughContainer();
  virtual Gtk::ColorButton* makeColorWell();
  virtual Gtk::DropDown* makePopUp(const std::vector<std::string>& titles);
  virtual QvImageViewBase* makeImageViewBase();

  // Further makers, built on the ones above.
  Widget* makeGenericView(const std::function<void(Widget&)>& configure);
  QvLabel* makeLabel(const std::optional<std::string>& id, const std::string& text,
                     std::optional<NSTextAlignment> align = std::nullopt, NSFontPtr font = nullptr,
                     std::optional<NSColor> color = std::nullopt, const QvStyles::Label* style = nullptr,
                     std::shared_ptr<Formatter> formatter = nullptr, std::optional<NSLayoutPriority> hhug = std::nullopt,
                     std::optional<NSLayoutPriority> vhug = std::nullopt);
  Widget* makeRootView();
  Widget* makeRootView(const std::function<void(Widget&)>& configure);
  Gtk::Entry* makeTextField() { return makeTextField(std::nullopt); }
  Gtk::PasswordEntry* makeSecureTextField() { return makeSecureTextField(std::nullopt); }
  QvImageViewBase* makeImageView(const std::optional<std::string>& id, Fennix::ImagePtr image,
                                 const std::optional<std::string>& imageNamed, std::optional<double> squareSize);
  Gtk::Button* makeButton(const std::optional<std::string>& id, const std::optional<std::string>& title,
                          Fennix::ImagePtr image, std::optional<double> squareSize);
  Widget* makePadder(std::optional<double> v, std::optional<double> h, bool expands);
  QvLabel* makeSourceListHeaderLabel() { return makeSourceListHeaderLabel(std::nullopt); }
  QvExtendedScrollView* makeOneColumnTableView(const std::function<void(NSTableView&)>& configure);
  NSGridView* makeGrid(std::optional<int> columns, std::optional<int> rows,
                       const std::function<void(NSGridView&)>& configure = nullptr);
  NSGridView* makeGrid(const std::vector<std::vector<Widget*>>& views);
  Gtk::Button* makeBadgeButton(double size);
  QvBackgroundBox* makeBackgroundBox(std::optional<NSColor> color,
                                     const std::function<void(QvBackgroundBox&)>& configure = nullptr);
  QvSimpleColorView* makeBackground(std::optional<NSColor> color, bool desktopTint,
                                    const std::function<void(QvSimpleColorView&)>& configure = nullptr);
  QvProgressBar* makeProgressBar();
  /// Stacks through `makeStackView`: missing views are dropped, the identifier is set when given.
  Gtk::Box* makeVStack(const std::optional<std::string>& id, NSStackViewDistribution vdist,
                       std::optional<NSLayoutAttribute> halign, std::optional<NSLayoutPriority> hug, double spacing,
                       const std::vector<Widget*>& views, const std::function<void(Gtk::Box&)>& block = nullptr);
  /// The same across; `hhug`, when given, then becomes the stack's horizontal hugging priority.
  Gtk::Box* makeHStack(const std::optional<std::string>& id, NSStackViewDistribution hdist,
                       std::optional<NSLayoutAttribute> valign, double spacing, std::optional<NSLayoutPriority> hug,
                       std::optional<NSLayoutPriority> hhug, const std::vector<Widget*>& views,
                       const std::function<void(Gtk::Box&)>& block = nullptr);
};

/// The shared factory.
inline QvViewFactoryAppKitImp& qv() { return QvViewFactoryAppKitImp::defaultViewFactory(); }

namespace Fennix {

/// Makes a widget sized by constraints rather than by its own frame.
void prepareForConstraints(Gtk::Widget& view);
/// Lets a widget take all the space its container gives it.
void fillSuperview(Gtk::Widget& view);
/// One line, truncated at the tail, no wrapping.
void qvMakeSingleLine(Gtk::Label& label);
/// The theme's icon of a name as an image; none when the theme has no such icon.
ImagePtr namedImage(const std::string& name, int size = 32);

}  // namespace Fennix
