// Pictures of widgets for the display tests: what a widget shows, rendered with the renderer of
// its window.
#pragma once

#include <gtk/gtk.h>
#include <gtkmm/widget.h>
#include <gtkmm/widgetpaintable.h>

namespace DisplayTestSupport {

/// What the widget shows, rendered with its window's renderer; none while it has no size. The
/// caller unrefs the texture.
inline GdkTexture* renderWidget(Gtk::Widget& widget) {
  auto paintable = Gtk::WidgetPaintable::create(widget);
  GtkSnapshot* snapshot = gtk_snapshot_new();
  gdk_paintable_snapshot(GDK_PAINTABLE(paintable->gobj()), GDK_SNAPSHOT(snapshot), widget.get_width(),
                         widget.get_height());
  GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
  if (!node) return nullptr;
  GskRenderer* renderer = gtk_native_get_renderer(gtk_widget_get_native(widget.gobj()));
  const graphene_rect_t viewport = GRAPHENE_RECT_INIT(0, 0, float(widget.get_width()), float(widget.get_height()));
  GdkTexture* texture = gsk_renderer_render_texture(renderer, node, &viewport);
  gsk_render_node_unref(node);
  return texture;
}

}  // namespace DisplayTestSupport
