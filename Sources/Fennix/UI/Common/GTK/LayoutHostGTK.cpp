#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"

#include <gtk/gtk.h>

#include <cmath>
#include <functional>
#include <map>
#include <mutex>

#include "Fennix/console/Console.h"

namespace Fennix {

namespace {

constexpr const char* holderKey = "qv-layout-holder";
constexpr const char* ownerKey = "qv-layout-owner";
constexpr const char* identifierKey = "qv-identifier";
constexpr const char* prioritiesKey = "qv-content-priorities";
constexpr const char* trackedKey = "qv-layout-tracked";
constexpr const char* arrangedKey = "qv-arranging-container";

GtkWidget* gtk(LayoutItem item) {
  if (!item.isView()) return nullptr;
  return GTK_WIDGET(const_cast<void*>(item.handle));
}

// Subviews of a view sit in its holder when it has one.
GtkWidget* layoutWidget(GtkWidget* widget) {
  if (!widget) return nullptr;
  if (auto* holder = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(widget), holderKey))) return holder;
  return widget;
}

// The container that arranges a view, while the view is inside it.
GtkWidget* arrangingWidget(GtkWidget* view) {
  auto* ref = view ? static_cast<GWeakRef*>(g_object_get_data(G_OBJECT(view), arrangedKey)) : nullptr;
  GObject* container = ref ? static_cast<GObject*>(g_weak_ref_get(ref)) : nullptr;
  if (!container) return nullptr;
  g_object_unref(container);  // it lives on: the view is inside it (checked next)
  return gtk_widget_is_ancestor(view, GTK_WIDGET(container)) ? GTK_WIDGET(container) : nullptr;
}

ArrangingContainer* arrangerOf(GtkWidget* container) {
  if (!container) return nullptr;
  return dynamic_cast<ArrangingContainer*>(Glib::ObjectBase::_get_current_wrapper(G_OBJECT(container)));
}

GtkWidget* ownerOf(GtkWidget* widget) {
  if (!widget) return nullptr;
  if (auto* owner = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(widget), ownerKey))) return owner;
  return widget;
}

GtkConstraintAttribute gtkAttribute(NSLayoutAttribute attribute) {
  switch (attribute) {
    case NSLayoutAttribute::left: return GTK_CONSTRAINT_ATTRIBUTE_LEFT;
    case NSLayoutAttribute::right: return GTK_CONSTRAINT_ATTRIBUTE_RIGHT;
    case NSLayoutAttribute::top: return GTK_CONSTRAINT_ATTRIBUTE_TOP;
    case NSLayoutAttribute::bottom: return GTK_CONSTRAINT_ATTRIBUTE_BOTTOM;
    case NSLayoutAttribute::leading: return GTK_CONSTRAINT_ATTRIBUTE_START;
    case NSLayoutAttribute::trailing: return GTK_CONSTRAINT_ATTRIBUTE_END;
    case NSLayoutAttribute::width: return GTK_CONSTRAINT_ATTRIBUTE_WIDTH;
    case NSLayoutAttribute::height: return GTK_CONSTRAINT_ATTRIBUTE_HEIGHT;
    case NSLayoutAttribute::centerX: return GTK_CONSTRAINT_ATTRIBUTE_CENTER_X;
    case NSLayoutAttribute::centerY: return GTK_CONSTRAINT_ATTRIBUTE_CENTER_Y;
    case NSLayoutAttribute::lastBaseline:
    case NSLayoutAttribute::firstBaseline: return GTK_CONSTRAINT_ATTRIBUTE_BASELINE;
    case NSLayoutAttribute::notAnAttribute: break;
  }
  return GTK_CONSTRAINT_ATTRIBUTE_NONE;
}

// An inequality weaker than required, "a <= b" or "a >= b", such as hugging ("size <= natural")
// or compression resistance ("size >= natural"). The toolkit's solver corrupts its memory when it
// removes a weaker-than-required inequality (as it does for all of them when a window goes away),
// so the inequality is written with a slack instead: a guide whose width s is at least 0 and wants
// to be 0 at the priority, and the required "a <= b + s" or "a + s >= b". Required inequalities
// and optional equalities are safe to remove, and the solver's optimum is the same as for the
// optional inequality.
struct Slack {
  GWeakRef layout;
  GtkConstraintGuide* guide = nullptr;
  std::vector<GtkConstraint*> constraints;

  // "first.firstAttribute relation second.secondAttribute * multiplier + constant"; with no
  // second attribute, "first.firstAttribute relation constant". A null item is the layout's widget.
  Slack(GtkConstraintLayout* constraintLayout, gpointer first, GtkConstraintAttribute firstAttribute,
        GtkConstraintRelation relation, gpointer second, GtkConstraintAttribute secondAttribute, double multiplier,
        double constant, int strength)
      : guide(gtk_constraint_guide_new()) {
    g_weak_ref_init(&layout, constraintLayout);
    gtk_constraint_guide_set_min_size(guide, 0, 0);
    gtk_constraint_guide_set_nat_size(guide, 0, 0);
    gtk_constraint_guide_set_strength(guide, GTK_CONSTRAINT_STRENGTH_WEAK);
    gtk_constraint_layout_add_guide(constraintLayout, GTK_CONSTRAINT_GUIDE(g_object_ref(guide)));
    // The guide's right edge is its left edge plus s. ">=" puts the left edge at a and keeps the
    // right one (a + s) at least b; "<=" puts the left edge at b and keeps the right one (b + s) at
    // least a.
    const bool hasSecond = secondAttribute != GTK_CONSTRAINT_ATTRIBUTE_NONE;
    auto atA = [&](GtkConstraintAttribute edge, GtkConstraintRelation edgeRelation) {
      return gtk_constraint_new(guide, edge, edgeRelation, first, firstAttribute, 1, 0,
                                GTK_CONSTRAINT_STRENGTH_REQUIRED);
    };
    auto atB = [&](GtkConstraintAttribute edge, GtkConstraintRelation edgeRelation) {
      return hasSecond ? gtk_constraint_new(guide, edge, edgeRelation, second, secondAttribute, multiplier, constant,
                                            GTK_CONSTRAINT_STRENGTH_REQUIRED)
                       : gtk_constraint_new_constant(guide, edge, edgeRelation, constant,
                                                     GTK_CONSTRAINT_STRENGTH_REQUIRED);
    };
    const auto left = GTK_CONSTRAINT_ATTRIBUTE_LEFT, right = GTK_CONSTRAINT_ATTRIBUTE_RIGHT;
    if (relation == GTK_CONSTRAINT_RELATION_LE) {
      add(atB(left, GTK_CONSTRAINT_RELATION_EQ));
      add(atA(right, GTK_CONSTRAINT_RELATION_GE));
    } else {
      add(atA(left, GTK_CONSTRAINT_RELATION_EQ));
      add(atB(right, GTK_CONSTRAINT_RELATION_GE));
    }
    add(gtk_constraint_new_constant(guide, GTK_CONSTRAINT_ATTRIBUTE_WIDTH, GTK_CONSTRAINT_RELATION_EQ, 0, strength));
  }
  ~Slack() {
    // The constraints go before the guide they refer to.
    if (auto* constraintLayout = static_cast<GtkConstraintLayout*>(g_weak_ref_get(&layout))) {
      for (GtkConstraint* constraint : constraints) gtk_constraint_layout_remove_constraint(constraintLayout, constraint);
      gtk_constraint_layout_remove_guide(constraintLayout, guide);
      g_object_unref(constraintLayout);
    }
    for (GtkConstraint* constraint : constraints) g_object_unref(constraint);
    g_object_unref(guide);
    g_weak_ref_clear(&layout);
  }
  Slack(const Slack&) = delete;
  Slack& operator=(const Slack&) = delete;

 private:
  void add(GtkConstraint* constraint) {
    constraints.push_back(GTK_CONSTRAINT(g_object_ref(constraint)));
    auto* constraintLayout = static_cast<GtkConstraintLayout*>(g_weak_ref_get(&layout));
    gtk_constraint_layout_add_constraint(constraintLayout, constraint);  // the layout takes the new reference
    g_object_unref(constraintLayout);
  }
};

// A constraint as it stands in the toolkit: a GtkConstraint in a constraint layout, or the size
// request that holds a view's own least width or height in a container without a constraint
// layout. Layouts and views are watched weakly: one that went away took its part along.
struct Realisation {
  GtkWidget* layoutWidget = nullptr;  // the container that keeps the constraint in its list
  GWeakRef layout;
  GtkConstraint* constraint = nullptr;
  std::unique_ptr<Slack> slack;  // in place of `constraint` for an optional inequality
  GWeakRef sized;
  GtkOrientation orientation = GTK_ORIENTATION_HORIZONTAL;
  int requested = -1, previous = -1;

  Realisation(GtkConstraintLayout* constraintLayout, GtkConstraint* realised, GtkWidget* widget)
      : layoutWidget(widget), constraint(GTK_CONSTRAINT(g_object_ref(realised))) {
    g_weak_ref_init(&layout, constraintLayout);
    g_weak_ref_init(&sized, nullptr);
  }
  // A constraint that holds nothing in `container` (an optional one the container cannot express),
  // or, with `view`, a least size requested of it.
  Realisation(std::unique_ptr<Slack> realised, GtkWidget* widget) : layoutWidget(widget), slack(std::move(realised)) {
    g_weak_ref_init(&layout, nullptr);
    g_weak_ref_init(&sized, nullptr);
  }
  explicit Realisation(GtkWidget* container, GtkWidget* view = nullptr,
                       GtkOrientation sizeOrientation = GTK_ORIENTATION_HORIZONTAL, int size = -1)
      : layoutWidget(container), orientation(sizeOrientation), requested(size) {
    g_weak_ref_init(&layout, nullptr);
    g_weak_ref_init(&sized, view);
    if (!view) return;
    int width = -1, height = -1;
    gtk_widget_get_size_request(view, &width, &height);
    previous = orientation == GTK_ORIENTATION_HORIZONTAL ? width : height;
    if (orientation == GTK_ORIENTATION_HORIZONTAL)
      gtk_widget_set_size_request(view, size, height);
    else
      gtk_widget_set_size_request(view, width, size);
  }
  /// Undoes what the constraint did to its views (when it is no GtkConstraint).
  std::function<void()> restore;

  ~Realisation() {
    if (restore) restore();
    slack.reset();
    if (auto* constraintLayout = static_cast<GtkConstraintLayout*>(g_weak_ref_get(&layout))) {
      gtk_constraint_layout_remove_constraint(constraintLayout, constraint);
      g_object_unref(constraintLayout);
    }
    if (auto* view = static_cast<GtkWidget*>(g_weak_ref_get(&sized))) {
      int width = -1, height = -1;
      gtk_widget_get_size_request(view, &width, &height);
      // Give the view back the request it had, unless someone has changed it since.
      if (orientation == GTK_ORIENTATION_HORIZONTAL && width == requested)
        gtk_widget_set_size_request(view, previous, height);
      else if (orientation == GTK_ORIENTATION_VERTICAL && height == requested)
        gtk_widget_set_size_request(view, width, previous);
      g_object_unref(view);
    }
    g_weak_ref_clear(&layout);
    g_weak_ref_clear(&sized);
    if (constraint) g_object_unref(constraint);
  }
  Realisation(const Realisation&) = delete;
  Realisation& operator=(const Realisation&) = delete;
};

std::shared_ptr<Realisation> realisationOf(const NSLayoutConstraint& constraint) {
  return std::static_pointer_cast<Realisation>(constraint.realisation);
}

bool involves(const NSLayoutConstraint& constraint, GtkWidget* widget) {
  return gtk(constraint.firstItem()) == widget || gtk(constraint.secondItem()) == widget;
}

// Hugging and compression resistance per orientation, with the slacks that realise them.
struct ContentPriorities {
  float hug[2] = {NSLayoutPriorityDefaultLow, NSLayoutPriorityDefaultLow};
  float resistance[2] = {NSLayoutPriorityDefaultHigh, NSLayoutPriorityDefaultHigh};
  bool set = false;
  std::vector<std::unique_ptr<Slack>> realised;
};

ContentPriorities& priorities(GtkWidget* widget) {
  auto* stored = static_cast<ContentPriorities*>(g_object_get_data(G_OBJECT(widget), prioritiesKey));
  if (!stored) {
    stored = new ContentPriorities();
    g_object_set_data_full(G_OBJECT(widget), prioritiesKey, stored,
                           [](gpointer data) { delete static_cast<ContentPriorities*>(data); });
  }
  return *stored;
}

class ToolkitLayoutHost : public LayoutHost {
 public:
  // A constraint that needs a view without a container yet waits, active, until the view is
  // placed; a view's own width and height go with it from container to container.
  void activate(const NSLayoutConstraintList& constraints) override {
    for (const auto& constraint : constraints) {
      if (constraint->isActive()) continue;
      const Placement placement = place(*constraint);
      if (placement == Placement::failed) continue;
      constraint->markActive(true);
      if (!constraint->secondItem()) {
        GtkWidget* view = gtk(constraint->firstItem());
        track(view);
        own_[view].push_back(constraint);
      }
      if (placement == Placement::waiting) wait(constraint);
    }
  }

  void deactivate(const NSLayoutConstraintList& constraints) override {
    for (const auto& constraint : constraints) {
      if (!constraint->isActive()) continue;
      if (constraint->realisation)
        unrealise(*constraint);
      else
        std::erase(pending_, constraint);
      if (!constraint->secondItem()) {
        if (auto found = own_.find(gtk(constraint->firstItem())); found != own_.end())
          std::erase(found->second, constraint);
      }
      constraint->markActive(false);
    }
  }

  void constraintChanged(NSLayoutConstraint& constraint) override {
    // A waiting constraint is laid out with its new values when its views are placed.
    if (!constraint.realisation) return;
    // Constraints of the toolkit cannot change: put a new one in place of the old.
    unrealise(constraint);
    const Placement placement = place(constraint);
    if (placement == Placement::waiting) {
      wait(constraint.shared_from_this());
    } else if (placement == Placement::failed) {
      console::error("a changed constraint could not be laid out again:", constraint.description());
    }
  }

  std::optional<LayoutItem> superviewOf(LayoutItem view) const override {
    GtkWidget* widget = gtk(view);
    if (!widget) return std::nullopt;
    if (GtkWidget* arranging = arrangingWidget(widget)) return LayoutItem{arranging};
    GtkWidget* parent = gtk_widget_get_parent(widget);
    if (!parent) return std::nullopt;
    return LayoutItem{ownerOf(parent)};
  }

  std::vector<LayoutItem> subviewsOf(LayoutItem view) const override {
    std::vector<LayoutItem> items;
    if (ArrangingContainer* arranger = arrangerOf(gtk(view))) {
      for (Gtk::Widget* subview : arranger->arrangedSubviews()) items.push_back(item(subview));
      return items;
    }
    GtkWidget* widget = layoutWidget(gtk(view));
    if (!widget) return items;
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child; child = gtk_widget_get_next_sibling(child))
      items.push_back(LayoutItem{child});
    return items;
  }

  void addSubview(LayoutItem container, LayoutItem view) override {
    GtkWidget* child = gtk(view);
    if (ArrangingContainer* arranger = arrangerOf(gtk(container))) {
      if (!child || arrangingWidget(child) == gtk(container)) return;
      g_object_ref(child);  // keep the child while it moves
      removeFromSuperview(view);
      arranger->addArrangedSubview(*Glib::wrap(child));
      g_object_unref(child);
      return;
    }
    GtkWidget* target = layoutWidget(gtk(container));
    if (!target || !child || gtk_widget_get_parent(child) == target) return;
    g_object_ref(child);  // keep the child while it moves
    removeFromSuperview(view);
    if (GTK_IS_BOX(target))
      gtk_box_append(GTK_BOX(target), child);
    else if (GTK_IS_WINDOW(target))
      gtk_window_set_child(GTK_WINDOW(target), child);
    else if (GTK_IS_FIXED(target))
      gtk_fixed_put(GTK_FIXED(target), child, 0, 0);
    else
      gtk_widget_set_parent(child, target);
    g_object_unref(child);
    applyContentPriorities(child);
  }

  void removeFromSuperview(LayoutItem view) override {
    GtkWidget* child = gtk(view);
    GtkWidget* parent = child ? gtk_widget_get_parent(child) : nullptr;
    if (!parent) return;
    if (GtkWidget* arranging = arrangingWidget(child)) {
      priorities(child).realised.clear();
      arrangerOf(arranging)->removeArrangedSubview(*Glib::wrap(child));
      return;
    }
    // Constraints between the child and other views of its old container end with the move; its
    // own size goes along to the next container.
    if (auto found = active_.find(parent); found != active_.end()) {
      NSLayoutConstraintList involved;
      for (const auto& constraint : found->second)
        if (constraint->secondItem() && (constraint->firstItem() == view || constraint->secondItem() == view))
          involved.push_back(constraint);
      deactivate(involved);
    }
    priorities(child).realised.clear();
    if (GTK_IS_BOX(parent))
      gtk_box_remove(GTK_BOX(parent), child);
    else if (GTK_IS_WINDOW(parent))
      gtk_window_set_child(GTK_WINDOW(parent), nullptr);
    else if (GTK_IS_FIXED(parent))
      gtk_fixed_remove(GTK_FIXED(parent), child);
    else
      gtk_widget_unparent(child);
  }

  void invalidateIntrinsicContentSize(LayoutItem view) override {
    if (GtkWidget* widget = gtk(view)) gtk_widget_queue_resize(widget);
  }

  std::string contentViewFormat(LayoutItem container) const override;

  std::optional<std::string> identifier(LayoutItem view) const override {
    GtkWidget* widget = gtk(view);
    if (!widget || !g_object_get_data(G_OBJECT(widget), identifierKey)) return std::nullopt;
    return std::string(gtk_widget_get_name(widget));
  }

  void setIdentifier(LayoutItem view, const std::string& identifier) override {
    GtkWidget* widget = gtk(view);
    if (!widget) return;
    gtk_widget_set_name(widget, identifier.c_str());
    g_object_set_data(G_OBJECT(widget), identifierKey, GINT_TO_POINTER(1));
  }

  void prepareForConstraints(LayoutItem) override {}

  NSLayoutPriority huggingPriority(LayoutItem view, NSLayoutConstraintOrientation orientation) const override {
    GtkWidget* widget = gtk(view);
    return widget ? priorities(widget).hug[static_cast<int>(orientation)] : NSLayoutPriorityDefaultLow;
  }
  void setHuggingPriority(LayoutItem view, NSLayoutConstraintOrientation orientation, NSLayoutPriority p) override {
    if (GtkWidget* widget = gtk(view)) {
      priorities(widget).hug[static_cast<int>(orientation)] = p;
      priorities(widget).set = true;
      applyContentPriorities(widget);
    }
  }
  NSLayoutPriority compressionResistancePriority(LayoutItem view,
                                                 NSLayoutConstraintOrientation orientation) const override {
    GtkWidget* widget = gtk(view);
    return widget ? priorities(widget).resistance[static_cast<int>(orientation)] : NSLayoutPriorityDefaultHigh;
  }
  void setCompressionResistancePriority(LayoutItem view, NSLayoutConstraintOrientation orientation,
                                        NSLayoutPriority p) override {
    if (GtkWidget* widget = gtk(view)) {
      priorities(widget).resistance[static_cast<int>(orientation)] = p;
      priorities(widget).set = true;
      applyContentPriorities(widget);
    }
  }

  Frame frame(LayoutItem view) const override {
    GtkWidget* widget = gtk(view);
    if (!widget) return {};
    double width = gtk_widget_get_width(widget), height = gtk_widget_get_height(widget);
    int requestedWidth = -1, requestedHeight = -1;
    gtk_widget_get_size_request(widget, &requestedWidth, &requestedHeight);
    if (width <= 0 && requestedWidth >= 0) width = requestedWidth;
    if (height <= 0 && requestedHeight >= 0) height = requestedHeight;
    if (GtkWidget* arranging = arrangingWidget(widget)) {
      const Frame arranged = arrangerOf(arranging)->arrangedFrame(*Glib::wrap(widget));
      const double containerHeight = frame(LayoutItem{arranging}).height;
      return {arranged.x, containerHeight - arranged.y - arranged.height, arranged.width, arranged.height};
    }
    GtkWidget* parent = gtk_widget_get_parent(widget);
    if (!parent) return {0, 0, width, height};
    double x = 0, y = 0;
    if (GTK_IS_FIXED(parent)) {
      // The position is the translation of the child's transform.
      float scaleX = 1, scaleY = 1, dx = 0, dy = 0;
      if (GskTransform* transform = gtk_fixed_get_child_transform(GTK_FIXED(parent), widget))
        gsk_transform_to_affine(transform, &scaleX, &scaleY, &dx, &dy);
      x = dx;
      y = dy;
    } else {
      graphene_rect_t bounds;
      if (gtk_widget_compute_bounds(widget, parent, &bounds)) {
        x = bounds.origin.x;
        y = bounds.origin.y;
      }
    }
    const double parentHeight = frame(LayoutItem{ownerOf(parent)}).height;
    return {x, parentHeight - y - height, width, height};  // y grows upward in frames
  }

  void setFrameWidth(LayoutItem view, double width) override {
    GtkWidget* widget = gtk(view);
    GtkWidget* parent = widget ? gtk_widget_get_parent(widget) : nullptr;
    if (!widget || arrangingWidget(widget) || (parent && GTK_IS_FIXED(parent)))
      return LayoutHost::setFrameWidth(view, width);
    // Elsewhere the container places the view: the width becomes the least it asks for.
    if (!(width >= 0) || width > 1e6) return;
    int requestedWidth = -1, requestedHeight = -1;
    gtk_widget_get_size_request(widget, &requestedWidth, &requestedHeight);
    gtk_widget_set_size_request(widget, static_cast<int>(std::ceil(width)), requestedHeight);
  }

  void setFrame(LayoutItem view, const Frame& frame) override {
    GtkWidget* widget = gtk(view);
    if (GtkWidget* arranging = arrangingWidget(widget)) {
      const double containerHeight = this->frame(LayoutItem{arranging}).height;
      arrangerOf(arranging)->setArrangedFrame(
          *Glib::wrap(widget), {frame.x, containerHeight - frame.y - frame.height, frame.width, frame.height});
      return;
    }
    GtkWidget* parent = widget ? gtk_widget_get_parent(widget) : nullptr;
    if (!parent || !GTK_IS_FIXED(parent)) {
      console::error("a frame can only be set on a view inside a fixed container:", describe(view));
      return;
    }
    const double parentHeight = this->frame(LayoutItem{ownerOf(parent)}).height;
    gtk_fixed_move(GTK_FIXED(parent), widget, frame.x, parentHeight - frame.y - frame.height);
    gtk_widget_set_size_request(widget, static_cast<int>(frame.width), static_cast<int>(frame.height));
  }

  std::string describe(LayoutItem item) const override;

 private:
  enum class Placement { placed, waiting, failed };

  // Lays a constraint out, in the constraint layout of the container that holds it: the parent
  // of a one-item constraint, else the one of the two items that contains the other, or their
  // common parent. A constraint waits while one of its views has no container; it fails, with
  // an error line, when its views are placed but share no constraint layout.
  Placement place(NSLayoutConstraint& constraint) {
    GtkWidget* first = gtk(constraint.firstItem());
    GtkWidget* second = gtk(constraint.secondItem());
    if (!first || (constraint.secondItem() && !second)) {
      console::error("only constraints between views can be laid out:", constraint.description());
      return Placement::failed;
    }
    GtkWidget* firstParent = gtk_widget_get_parent(first);
    GtkWidget* owner = nullptr;
    if (!second) {
      owner = firstParent;
    } else if (gtk_widget_get_parent(second) == layoutWidget(first)) {
      owner = layoutWidget(first);
    } else if (firstParent && firstParent == layoutWidget(second)) {
      owner = firstParent;
    } else if (firstParent && firstParent == gtk_widget_get_parent(second)) {
      owner = firstParent;
    }
    if (second && realiseDocumentWidth(constraint, first, second)) return Placement::placed;
    GtkLayoutManager* manager = owner ? gtk_widget_get_layout_manager(owner) : nullptr;
    if (!manager || !GTK_IS_CONSTRAINT_LAYOUT(manager)) {
      if (!firstParent || (second && !gtk_widget_get_parent(second))) return Placement::waiting;
      if (!second && realiseOwnSize(constraint, first, owner)) return Placement::placed;
      if (second == first && realiseOwnProportion(constraint, first, owner)) return Placement::placed;
      console::error("a constraint relates views outside one constraint layout:", constraint.description());
      return Placement::failed;
    }
    auto target = [&](GtkWidget* widget) -> gpointer { return layoutWidget(widget) == owner ? nullptr : widget; };
    const int strength = constraintStrength(constraint.priority());
    auto* layout = GTK_CONSTRAINT_LAYOUT(manager);
    const auto relation = static_cast<GtkConstraintRelation>(constraint.relation());
    if (relation != GTK_CONSTRAINT_RELATION_EQ && constraint.priority() < NSLayoutPriorityRequired) {
      auto slack = std::make_unique<Slack>(layout, target(first), gtkAttribute(constraint.firstAttribute()), relation,
                                           second ? target(second) : nullptr,
                                           second ? gtkAttribute(constraint.secondAttribute())
                                                  : GTK_CONSTRAINT_ATTRIBUTE_NONE,
                                           constraint.multiplier(), constraint.constant(), strength);
      keep(constraint, std::make_shared<Realisation>(std::move(slack), owner));
      return Placement::placed;
    }
    GtkConstraint* realised =
        second ? gtk_constraint_new(target(first), gtkAttribute(constraint.firstAttribute()),
                                    static_cast<GtkConstraintRelation>(constraint.relation()), target(second),
                                    gtkAttribute(constraint.secondAttribute()), constraint.multiplier(),
                                    constraint.constant(), strength)
               : gtk_constraint_new_constant(target(first), gtkAttribute(constraint.firstAttribute()),
                                             static_cast<GtkConstraintRelation>(constraint.relation()),
                                             constraint.constant(), strength);
    auto realisation = std::make_shared<Realisation>(layout, realised, owner);
    gtk_constraint_layout_add_constraint(layout, realised);  // the layout takes the new reference
    keep(constraint, realisation);
    return Placement::placed;
  }

  // A view's width related to its own height (or the reverse) in a container without a constraint
  // layout: a least length holds as long as the view's size request does (a separator's length
  // at least its thickness); anything else cannot be expressed there.
  bool realiseOwnProportion(NSLayoutConstraint& constraint, GtkWidget* view, GtkWidget* container) {
    if (constraint.relation() != NSLayoutRelation::greaterThanOrEqual || constraint.constant() > 0) return false;
    const bool widthOverHeight = constraint.firstAttribute() == NSLayoutAttribute::width &&
                                 constraint.secondAttribute() == NSLayoutAttribute::height;
    const bool heightOverWidth = constraint.firstAttribute() == NSLayoutAttribute::height &&
                                 constraint.secondAttribute() == NSLayoutAttribute::width;
    if (!widthOverHeight && !heightOverWidth) return false;
    int width = -1, height = -1;
    gtk_widget_get_size_request(view, &width, &height);
    const double length = widthOverHeight ? width : height, thickness = widthOverHeight ? height : width;
    if (length < 0 || thickness < 0 || length < constraint.multiplier() * thickness) return false;
    keep(constraint, std::make_shared<Realisation>(container));
    return true;
  }

  // A view's own width or height in a container without a constraint layout (a box, a window):
  // a required least or equal size becomes the view's size request; an optional one is left to
  // the container. Upper bounds cannot be expressed there.
  bool realiseOwnSize(NSLayoutConstraint& constraint, GtkWidget* view, GtkWidget* container) {
    const NSLayoutAttribute attribute = constraint.firstAttribute();
    if (attribute != NSLayoutAttribute::width && attribute != NSLayoutAttribute::height) return false;
    if (constraint.priority() < NSLayoutPriorityRequired) {
      keep(constraint, std::make_shared<Realisation>(container));
      return true;
    }
    const double size = constraint.constant();
    if (constraint.relation() == NSLayoutRelation::lessThanOrEqual || !(size >= 0) || size > 1e6) return false;
    const auto orientation =
        attribute == NSLayoutAttribute::width ? GTK_ORIENTATION_HORIZONTAL : GTK_ORIENTATION_VERTICAL;
    keep(constraint, std::make_shared<Realisation>(container, view, orientation, static_cast<int>(std::ceil(size))));
    return true;
  }

  // A view inside a scroll view as wide as the scroll view ("document.width == scroll.width"): the
  // scroll view no longer scrolls sideways, and so gives its document its whole width.
  bool realiseDocumentWidth(NSLayoutConstraint& constraint, GtkWidget* document, GtkWidget* scroll) {
    if (!GTK_IS_SCROLLED_WINDOW(scroll) || constraint.firstAttribute() != NSLayoutAttribute::width ||
        constraint.secondAttribute() != NSLayoutAttribute::width || constraint.relation() != NSLayoutRelation::equal ||
        constraint.multiplier() != 1 || constraint.constant() != 0 || constraint.priority() < NSLayoutPriorityRequired)
      return false;
    if (gtk_widget_get_ancestor(gtk_widget_get_parent(document) ? gtk_widget_get_parent(document) : document,
                                GTK_TYPE_SCROLLED_WINDOW) != scroll)
      return false;
    GtkPolicyType horizontal = GTK_POLICY_AUTOMATIC, vertical = GTK_POLICY_AUTOMATIC;
    gtk_scrolled_window_get_policy(GTK_SCROLLED_WINDOW(scroll), &horizontal, &vertical);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroll), GTK_POLICY_NEVER, vertical);
    auto realisation = std::make_shared<Realisation>(scroll);
    auto weak = std::make_shared<GWeakRef>();
    g_weak_ref_init(weak.get(), scroll);
    realisation->restore = [weak, horizontal] {
      if (auto* kept = static_cast<GtkWidget*>(g_weak_ref_get(weak.get()))) {
        GtkPolicyType ignored = GTK_POLICY_AUTOMATIC, current = GTK_POLICY_AUTOMATIC;
        gtk_scrolled_window_get_policy(GTK_SCROLLED_WINDOW(kept), &ignored, &current);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(kept), horizontal, current);
        g_object_unref(kept);
      }
      g_weak_ref_clear(weak.get());
    };
    keep(constraint, realisation);
    return true;
  }

  void keep(NSLayoutConstraint& constraint, std::shared_ptr<Realisation> realisation) {
    GtkWidget* owner = realisation->layoutWidget;
    watch(owner);
    active_[owner].push_back(constraint.shared_from_this());
    constraint.realisation = std::move(realisation);
  }

  void unrealise(NSLayoutConstraint& constraint) {
    if (auto realisation = realisationOf(constraint)) {
      auto found = active_.find(realisation->layoutWidget);
      if (found != active_.end())
        std::erase_if(found->second, [&](const NSLayoutConstraintPtr& kept) { return kept.get() == &constraint; });
    }
    constraint.realisation.reset();
  }

  void wait(const NSLayoutConstraintPtr& constraint) {
    pending_.push_back(constraint);
    for (GtkWidget* view : {gtk(constraint->firstItem()), gtk(constraint->secondItem())})
      if (view) track(view);
  }

  // Watches a view of a waiting constraint, or one with a size of its own, for a new container,
  // and for its end.
  void track(GtkWidget* view) {
    if (g_object_get_data(G_OBJECT(view), trackedKey)) return;
    g_object_set_data(G_OBJECT(view), trackedKey, GINT_TO_POINTER(1));
    g_signal_connect(view, "notify::parent", G_CALLBACK(+[](GtkWidget* moved, GParamSpec*, gpointer host) {
                       static_cast<ToolkitLayoutHost*>(host)->parentChanged(moved);
                     }),
                     this);
    g_object_weak_ref(
        G_OBJECT(view), [](gpointer host, GObject* gone) { static_cast<ToolkitLayoutHost*>(host)->viewGone(gone); },
        this);
  }

  void parentChanged(GtkWidget* view) {
    GtkWidget* parent = gtk_widget_get_parent(view);
    if (auto found = own_.find(view); found != own_.end()) {
      for (const auto& constraint : NSLayoutConstraintList(found->second)) {
        auto realisation = realisationOf(*constraint);
        if (!realisation || realisation->layoutWidget == parent) continue;
        unrealise(*constraint);
        pending_.push_back(constraint);
      }
    }
    if (!parent) return;
    NSLayoutConstraintList ready;
    for (const auto& constraint : pending_)
      if (involves(*constraint, view)) ready.push_back(constraint);
    for (const auto& constraint : ready) {
      const Placement placement = place(*constraint);
      if (placement == Placement::waiting) continue;
      std::erase(pending_, constraint);
      if (placement == Placement::failed) deactivate({constraint});
    }
  }

  void viewGone(GObject* gone) {
    auto* view = reinterpret_cast<GtkWidget*>(gone);
    NSLayoutConstraintList ended;
    for (const auto& constraint : pending_)
      if (involves(*constraint, view)) ended.push_back(constraint);
    if (auto found = own_.find(view); found != own_.end()) {
      ended.insert(ended.end(), found->second.begin(), found->second.end());
      own_.erase(found);
    }
    for (const auto& constraint : ended) {
      if (!constraint->isActive()) continue;
      if (constraint->realisation)
        unrealise(*constraint);
      else
        std::erase(pending_, constraint);
      constraint->markActive(false);
    }
  }

  // Hugging holds a view at its natural size from outside, compression resistance from inside;
  // both weaker than required (see Slack).
  void applyContentPriorities(GtkWidget* widget) {
    ContentPriorities& stored = priorities(widget);
    stored.realised.clear();
    GtkWidget* parent = gtk_widget_get_parent(widget);
    GtkLayoutManager* manager = parent ? gtk_widget_get_layout_manager(parent) : nullptr;
    if (!stored.set || !manager || !GTK_IS_CONSTRAINT_LAYOUT(manager)) return;
    auto* layout = GTK_CONSTRAINT_LAYOUT(manager);
    for (int orientation = 0; orientation < 2; ++orientation) {
      int minimum = 0, natural = 0;
      gtk_widget_measure(widget, orientation == 0 ? GTK_ORIENTATION_HORIZONTAL : GTK_ORIENTATION_VERTICAL, -1,
                         &minimum, &natural, nullptr, nullptr);
      const auto attribute = orientation == 0 ? GTK_CONSTRAINT_ATTRIBUTE_WIDTH : GTK_CONSTRAINT_ATTRIBUTE_HEIGHT;
      stored.realised.push_back(std::make_unique<Slack>(layout, widget, attribute, GTK_CONSTRAINT_RELATION_LE, nullptr,
                                                        GTK_CONSTRAINT_ATTRIBUTE_NONE, 1, natural,
                                                        constraintStrength(stored.hug[orientation])));
      stored.realised.push_back(std::make_unique<Slack>(layout, widget, attribute, GTK_CONSTRAINT_RELATION_GE, nullptr,
                                                        GTK_CONSTRAINT_ATTRIBUTE_NONE, 1, natural,
                                                        constraintStrength(stored.resistance[orientation])));
    }
  }

  // Forget the constraints of a container that goes away.
  void watch(GtkWidget* owner) {
    if (active_.count(owner)) return;
    g_object_weak_ref(
        G_OBJECT(owner),
        [](gpointer data, GObject* gone) {
          auto* host = static_cast<ToolkitLayoutHost*>(data);
          auto found = host->active_.find(reinterpret_cast<GtkWidget*>(gone));
          if (found == host->active_.end()) return;
          auto constraints = std::move(found->second);
          host->active_.erase(found);
          for (const auto& constraint : constraints) {
            constraint->realisation.reset();
            // A view's own size waits for its next container.
            if (!constraint->secondItem() && constraint->isActive()) {
              host->pending_.push_back(constraint);
              continue;
            }
            constraint->markActive(false);
          }
        },
        this);
  }

  // Active constraints are kept by their container, as views keep theirs.
  std::map<GtkWidget*, NSLayoutConstraintList> active_;
  // Active constraints waiting for a container.
  NSLayoutConstraintList pending_;
  // The active one-item constraints of each view: its own size.
  std::map<GtkWidget*, NSLayoutConstraintList> own_;
};

std::string ToolkitLayoutHost::contentViewFormat(LayoutItem container) const {
  return contentViewFormatOf(widget(container));
}

std::string ToolkitLayoutHost::describe(LayoutItem item) const {
  if (item.kind == LayoutItem::Kind::guide) return "<guide>";
  return describeView(widget(item));
}

// The host outlives every widget: widgets that go away late still find it.
std::shared_ptr<ToolkitLayoutHost>& toolkitHost() {
  static auto* host = new std::shared_ptr<ToolkitLayoutHost>();
  return *host;
}

}  // namespace

LayoutItem item(const Gtk::Widget* widget) {
  if (!widget) return {};
  return LayoutItem{const_cast<Gtk::Widget*>(widget)->gobj()};
}

Gtk::Widget* widget(LayoutItem item) {
  GtkWidget* widget = gtk(item);
  return widget ? Glib::wrap(widget) : nullptr;
}

void installToolkitLayoutHost() {
  if (layoutHost()) return;
  toolkitHost() = std::make_shared<ToolkitLayoutHost>();
  setLayoutHost(toolkitHost());
}

ArrangingContainer* arrangingContainerOf(const Gtk::Widget& view) {
  return arrangerOf(arrangingWidget(const_cast<GtkWidget*>(view.gobj())));
}

ArrangingContainer* asArrangingContainer(const Gtk::Widget& container) {
  return arrangerOf(const_cast<GtkWidget*>(container.gobj()));
}

void setArrangingContainer(Gtk::Widget& view, Gtk::Widget* container) {
  if (!container) {
    g_object_set_data(G_OBJECT(view.gobj()), arrangedKey, nullptr);
    return;
  }
  auto* ref = new GWeakRef;
  g_weak_ref_init(ref, container->gobj());
  g_object_set_data_full(G_OBJECT(view.gobj()), arrangedKey, ref, [](gpointer data) {
    auto* weak = static_cast<GWeakRef*>(data);
    g_weak_ref_clear(weak);
    delete weak;
  });
}

void setLayoutHolder(Gtk::Widget& owner, Gtk::Widget& holder) {
  g_object_set_data(G_OBJECT(owner.gobj()), holderKey, holder.gobj());
  g_object_set_data(G_OBJECT(holder.gobj()), ownerKey, owner.gobj());
}

}  // namespace Fennix
