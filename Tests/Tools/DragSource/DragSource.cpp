// A window that offers something to drag, for tests that drag into the application with real
// pointer input: "drag-source --file PATH" offers the file (as a file list), "drag-source --data
// MIME-TYPE PATH" offers the bytes of the file at PATH as data of that type. The window is titled
// "Drag Source" and is all handle: a press anywhere starts the drag.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>

namespace {

GdkContentProvider* content = nullptr;

GdkContentProvider* prepare(GtkDragSource*, double, double, gpointer) { return GDK_CONTENT_PROVIDER(g_object_ref(content)); }

void activate(GtkApplication* application, gpointer) {
  GtkWidget* window = gtk_application_window_new(application);
  gtk_window_set_title(GTK_WINDOW(window), "Drag Source");
  gtk_window_set_default_size(GTK_WINDOW(window), 160, 120);
  GtkWidget* label = gtk_label_new("drag me");
  GtkDragSource* source = gtk_drag_source_new();
  gtk_drag_source_set_actions(source, GDK_ACTION_COPY);
  g_signal_connect(source, "prepare", G_CALLBACK(prepare), nullptr);
  gtk_widget_add_controller(label, GTK_EVENT_CONTROLLER(source));
  gtk_window_set_child(GTK_WINDOW(window), label);
  gtk_window_present(GTK_WINDOW(window));
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc == 3 && std::strcmp(argv[1], "--file") == 0) {
    GFile* file = g_file_new_for_path(argv[2]);
    content = gdk_content_provider_new_typed(G_TYPE_FILE, file);
    g_object_unref(file);
  } else if (argc == 4 && std::strcmp(argv[1], "--data") == 0) {
    gchar* bytes = nullptr;
    gsize length = 0;
    if (!g_file_get_contents(argv[3], &bytes, &length, nullptr)) {
      std::fprintf(stderr, "cannot read %s\n", argv[3]);
      return 2;
    }
    GBytes* data = g_bytes_new_take(bytes, length);
    content = gdk_content_provider_new_for_bytes(argv[2], data);
    g_bytes_unref(data);
  } else {
    std::fprintf(stderr, "usage: drag-source --file PATH | --data MIME-TYPE PATH\n");
    return 2;
  }
  GtkApplication* application = gtk_application_new(nullptr, G_APPLICATION_NON_UNIQUE);
  g_signal_connect(application, "activate", G_CALLBACK(activate), nullptr);
  char* arguments[] = {argv[0], nullptr};
  const int status = g_application_run(G_APPLICATION(application), 1, arguments);
  g_object_unref(application);
  g_object_unref(content);
  return status;
}
