#include "QuarvelUtilities/GTK/FileDropTarget.h"

#include <gtk/gtk.h>

#include <algorithm>

namespace QuarvelUtilities {

namespace {

// Reads a dropped stream to its end on the main context. Bytes past the size bound are counted,
// not kept, so that a refusal can tell the size; past the counting bound the read stops.
struct StreamRead {
  GInputStream* stream;
  DropItemProvider::Completion done;
  DropData data;
  std::uint64_t size = 0;
  guint8 buffer[65536];

  static void start(GInputStream* stream, DropItemProvider::Completion done) {
    auto* read = new StreamRead{stream, std::move(done), {}, 0, {}};
    read->next();
  }
  void next() {
    g_input_stream_read_async(stream, buffer, sizeof buffer, G_PRIORITY_DEFAULT, nullptr, &StreamRead::chunk, this);
  }
  static void chunk(GObject*, GAsyncResult* result, gpointer self) {
    auto* read = static_cast<StreamRead*>(self);
    GError* error = nullptr;
    const gssize count = g_input_stream_read_finish(read->stream, result, &error);
    if (count > 0) {
      read->size += std::uint64_t(count);
      if (read->size <= TypedDropDelegate::maximumDropSize) {
        read->data.insert(read->data.end(), read->buffer, read->buffer + count);
      } else {
        DropData().swap(read->data);  // too large: only counted from here on
      }
      if (read->size <= TypedDropDelegate::maximumCountedDropSize) {
        read->next();
        return;
      }
    }
    if (count < 0) {
      read->done(std::nullopt, error != nullptr ? error->message : "read error", read->size);
    } else if (read->size > TypedDropDelegate::maximumDropSize) {
      read->done(std::nullopt, "larger than " + std::to_string(TypedDropDelegate::maximumDropSize) + " bytes",
                 read->size);
    } else {
      read->done(std::move(read->data), "", read->size);
    }
    if (error != nullptr) g_error_free(error);
    g_object_unref(read->stream);
    delete read;
  }
};

}  // namespace

struct FileDropTarget::Targets {
  GtkDropTarget* files = nullptr;
  GtkDropTargetAsync* data = nullptr;
  GdkContentFormats* dataFormats = nullptr;
};

DropInfo FileDropTarget::dropInfo(const GValue* fileList) {
  DropInfo info;
  if (fileList == nullptr || !G_VALUE_HOLDS(fileList, GDK_TYPE_FILE_LIST)) return info;
  auto* list = static_cast<GSList*>(g_value_get_boxed(fileList));
  for (GSList* item = list; item != nullptr; item = item->next) {
    char* path = g_file_get_path(G_FILE(item->data));
    if (path != nullptr) info.fileURLs.emplace_back(path);
    g_free(path);
  }
  return info;
}

DropInfo FileDropTarget::dropInfo(GdkDrop* drop, const std::vector<std::string>& types) {
  DropInfo info;
  GdkContentFormats* formats = gdk_drop_get_formats(drop);
  DropItemProvider provider;
  for (const auto& type : types) {
    if (gdk_content_formats_contain_mime_type(formats, type.c_str())) provider.contentTypes.push_back(type);
  }
  if (provider.contentTypes.empty()) return info;
  GdkDrop* held = GDK_DROP(g_object_ref(drop));
  auto shared = std::shared_ptr<GdkDrop>(held, [](GdkDrop* d) { g_object_unref(d); });
  provider.loadDataRepresentation = [shared](const std::string& type, DropItemProvider::Completion done) {
    const char* mimeTypes[] = {type.c_str(), nullptr};
    auto* pending = new DropItemProvider::Completion(std::move(done));
    gdk_drop_read_async(
        shared.get(), mimeTypes, G_PRIORITY_DEFAULT, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          std::unique_ptr<DropItemProvider::Completion> completion(static_cast<DropItemProvider::Completion*>(data));
          GError* error = nullptr;
          GInputStream* stream = gdk_drop_read_finish(GDK_DROP(source), result, nullptr, &error);
          if (stream == nullptr) {
            (*completion)(std::nullopt, error != nullptr ? error->message : "no data", 0);
            if (error != nullptr) g_error_free(error);
            gdk_drop_finish(GDK_DROP(source), GdkDragAction(0));
            return;
          }
          GdkDrop* reading = GDK_DROP(g_object_ref(source));
          StreamRead::start(stream, [done = std::move(*completion), reading](std::optional<DropData> bytes,
                                                                             const std::string& reason,
                                                                             std::uint64_t size) {
            const bool ok = bytes.has_value();
            done(std::move(bytes), reason, size);
            gdk_drop_finish(reading, ok ? GDK_ACTION_COPY : GdkDragAction(0));
            g_object_unref(reading);
          });
        },
        pending);
  };
  info.providers.push_back(std::move(provider));
  return info;
}

FileDropTarget::FileDropTarget(Gtk::Widget& widget, std::shared_ptr<TypedDropDelegate> delegate)
    : widget_(widget), delegate_(std::move(delegate)), targets_(std::make_unique<Targets>()) {
  // Files.
  targets_->files = gtk_drop_target_new(GDK_TYPE_FILE_LIST, GDK_ACTION_COPY);
  gtk_drop_target_set_preload(targets_->files, TRUE);
  gtk_event_controller_set_propagation_phase(GTK_EVENT_CONTROLLER(targets_->files), GTK_PHASE_CAPTURE);
  g_signal_connect(targets_->files, "enter",
                   G_CALLBACK(+[](GtkDropTarget*, double, double, FileDropTarget* self) -> GdkDragAction {
                     self->delegate_->dropEntered();
                     return GDK_ACTION_COPY;
                   }),
                   this);
  g_signal_connect(targets_->files, "leave", G_CALLBACK(+[](GtkDropTarget*, FileDropTarget* self) {
                     self->delegate_->dropExited();
                   }),
                   this);
  g_signal_connect(targets_->files, "notify::value",
                   G_CALLBACK(+[](GtkDropTarget* target, GParamSpec*, FileDropTarget* self) {
                     const GValue* value = gtk_drop_target_get_value(target);
                     if (value != nullptr && !self->delegate_->validateDrop(dropInfo(value))) {
                       gtk_drop_target_reject(target);
                       self->delegate_->dropExited();
                     }
                   }),
                   this);
  g_signal_connect(targets_->files, "drop",
                   G_CALLBACK(+[](GtkDropTarget*, const GValue* value, double, double, FileDropTarget* self) -> gboolean {
                     self->delegate_->dropExited();
                     return self->delegate_->performDrop(dropInfo(value));
                   }),
                   this);
  gtk_widget_add_controller(widget_.gobj(), GTK_EVENT_CONTROLLER(g_object_ref(targets_->files)));

  // Data of the accepted types.
  GdkContentFormatsBuilder* builder = gdk_content_formats_builder_new();
  for (const auto& type : delegate_->types()) gdk_content_formats_builder_add_mime_type(builder, type.c_str());
  targets_->dataFormats = gdk_content_formats_builder_free_to_formats(builder);
  targets_->data = gtk_drop_target_async_new(gdk_content_formats_ref(targets_->dataFormats), GDK_ACTION_COPY);
  gtk_event_controller_set_propagation_phase(GTK_EVENT_CONTROLLER(targets_->data), GTK_PHASE_CAPTURE);
  g_signal_connect(targets_->data, "drag-enter",
                   G_CALLBACK(+[](GtkDropTargetAsync*, GdkDrop*, double, double, FileDropTarget* self) -> GdkDragAction {
                     self->delegate_->dropEntered();
                     return GDK_ACTION_COPY;
                   }),
                   this);
  g_signal_connect(targets_->data, "drag-leave", G_CALLBACK(+[](GtkDropTargetAsync*, GdkDrop*, FileDropTarget* self) {
                     self->delegate_->dropExited();
                   }),
                   this);
  g_signal_connect(targets_->data, "drop",
                   G_CALLBACK(+[](GtkDropTargetAsync*, GdkDrop* drop, double, double, FileDropTarget* self) -> gboolean {
                     // The toolkit's drop highlight of the widget ends with the drag over it: no
                     // leave follows a drop of data.
                     gtk_widget_unset_state_flags(self->widget_.gobj(), GTK_STATE_FLAG_DROP_ACTIVE);
                     self->delegate_->dropExited();
                     return self->delegate_->performDrop(dropInfo(drop, self->delegate_->types()));
                   }),
                   this);
  gtk_widget_add_controller(widget_.gobj(), GTK_EVENT_CONTROLLER(g_object_ref(targets_->data)));
}

FileDropTarget::~FileDropTarget() {
  g_signal_handlers_disconnect_by_data(targets_->files, this);
  g_signal_handlers_disconnect_by_data(targets_->data, this);
  gdk_content_formats_unref(targets_->dataFormats);
  g_object_unref(targets_->files);
  g_object_unref(targets_->data);
}

}  // namespace QuarvelUtilities
