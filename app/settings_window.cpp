#include "app/settings_window.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#include <gtk/gtk.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <cstdio>

#include "app/render_window.h"

namespace velm {

namespace {

// The window's content area and its controls, in pixels.
constexpr int kWindowX = 100, kWindowY = 100;
constexpr int kWindowWidth = 200, kWindowHeight = 380;

// The theme's buttons and check boxes are larger than the controls' cells;
// these rules let them shrink to the sizes below. Scoped to the dialog.
constexpr const char* kCss =
    "#velm-settings button { min-height: 0; min-width: 0; padding: 0 2px; }\n"
    "#velm-settings checkbutton { min-height: 0; min-width: 0; padding: 0; margin: 0; }\n"
    "#velm-settings check { min-height: 8px; min-width: 8px; margin: 0; padding: 0; }\n";  // + 1px border

struct Dialog {
  DisplaySettings* settings = nullptr;
  const std::vector<DisplayMode>* modes = nullptr;
  bool accepted = true;
  bool open = false;
  bool drawn = false;
  GtkWidget* window = nullptr;
  GtkWidget* start = nullptr;
  GtkWidget* quit = nullptr;
  GtkWidget* check = nullptr;
  GtkWidget* label = nullptr;
  GtkWidget* scroller = nullptr;
  GtkWidget* list = nullptr;
  GtkListStore* store = nullptr;
};

int selectedIndex(const Dialog& d) {
  GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(d.list));
  GtkTreeModel* model = nullptr;
  GtkTreeIter iter;
  if (!gtk_tree_selection_get_selected(selection, &model, &iter)) return -1;
  GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
  const int index = gtk_tree_path_get_indices(path)[0];
  gtk_tree_path_free(path);
  return index;
}

void closeDialog(Dialog& d) {
  if (d.window) gtk_widget_destroy(d.window);
}

void acceptAndClose(Dialog& d) {
  applyModeChoice(*d.settings, *d.modes, selectedIndex(d),
                  gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(d.check)) != FALSE);
  closeDialog(d);
}

void declineAndClose(Dialog& d) {
  d.accepted = false;
  closeDialog(d);
}

void onStartClicked(GtkButton*, gpointer data) { acceptAndClose(*static_cast<Dialog*>(data)); }
void onQuitClicked(GtkButton*, gpointer data) { declineAndClose(*static_cast<Dialog*>(data)); }

gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data) {
  declineAndClose(*static_cast<Dialog*>(data));
  return TRUE;
}

// Seen by the window before the focused control: Escape leaves, Return
// presses "start" unless "quit" has the focus (then it presses "quit").
gboolean onKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
  Dialog& d = *static_cast<Dialog*>(data);
  switch (event->keyval) {
    case GDK_KEY_Escape:
      declineAndClose(d);
      return TRUE;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
      if (gtk_window_get_focus(GTK_WINDOW(d.window)) == d.quit) {
        declineAndClose(d);
      } else {
        acceptAndClose(d);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

void onDestroy(GtkWidget*, gpointer data) {
  Dialog& d = *static_cast<Dialog*>(data);
  d.open = false;
  d.window = d.start = d.quit = d.check = d.label = d.scroller = d.list = nullptr;
}

gboolean onDrawn(GtkWidget*, cairo_t*, gpointer data) {
  static_cast<Dialog*>(data)->drawn = true;
  return FALSE;
}

GtkWidget* placeControl(GtkWidget* fixed, GtkWidget* control, const char* name, int x, int y, int width, int height) {
  gtk_widget_set_name(control, name);
  gtk_widget_set_size_request(control, width, height);
  gtk_fixed_put(GTK_FIXED(fixed), control, x, y);
  return control;
}

void build(Dialog& d) {
  d.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_widget_set_name(d.window, "velm-settings");
  gtk_window_set_title(GTK_WINDOW(d.window), "zun");
  gtk_window_set_resizable(GTK_WINDOW(d.window), FALSE);
  gtk_window_move(GTK_WINDOW(d.window), kWindowX, kWindowY);

  GtkWidget* fixed = gtk_fixed_new();
  gtk_widget_set_size_request(fixed, kWindowWidth, kWindowHeight);
  gtk_container_add(GTK_CONTAINER(d.window), fixed);

  d.start = placeControl(fixed, gtk_button_new_with_label("start"), "start", 0, 0, 50, 20);
  d.quit = placeControl(fixed, gtk_button_new_with_label("quit"), "quit", 0, 20, 50, 20);
  // The box is too small for its own text; the label beside it is what shows.
  d.check = gtk_check_button_new_with_label("fullScreenSelection");
  GtkWidget* ownText = gtk_bin_get_child(GTK_BIN(d.check));
  gtk_widget_set_no_show_all(ownText, TRUE);
  gtk_widget_hide(ownText);
  placeControl(fixed, d.check, "fullScreenSelection", 52, 22, 10, 10);
  d.label = gtk_label_new("fullscreen");
  gtk_label_set_xalign(GTK_LABEL(d.label), 0.0f);
  placeControl(fixed, d.label, "fullscreen", 62, 18, 130, 20);

  d.store = gtk_list_store_new(1, G_TYPE_STRING);
  for (const std::string& line : displayModeLines(*d.modes)) {
    GtkTreeIter iter;
    gtk_list_store_append(d.store, &iter);
    gtk_list_store_set(d.store, &iter, 0, line.c_str(), -1);
  }
  d.list = gtk_tree_view_new_with_model(GTK_TREE_MODEL(d.store));
  g_object_unref(d.store);  // the view holds it now
  gtk_widget_set_name(d.list, "tuvak");
  gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(d.list), FALSE);
  gtk_tree_view_set_enable_search(GTK_TREE_VIEW(d.list), FALSE);
  gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(d.list), -1, "mode", gtk_cell_renderer_text_new(), "text",
                                              0, nullptr);
  gtk_tree_selection_set_mode(gtk_tree_view_get_selection(GTK_TREE_VIEW(d.list)), GTK_SELECTION_SINGLE);
  d.scroller = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(d.scroller), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(d.scroller), FALSE);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(d.scroller), GTK_SHADOW_IN);
  gtk_container_add(GTK_CONTAINER(d.scroller), d.list);
  placeControl(fixed, d.scroller, "tuvak", 0, 40, 194, 200);

  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(d.check), TRUE);
  if (!d.modes->empty()) {
    GtkTreePath* first = gtk_tree_path_new_first();
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(d.list), first, nullptr, FALSE);
    gtk_tree_selection_select_path(gtk_tree_view_get_selection(GTK_TREE_VIEW(d.list)), first);
    gtk_tree_path_free(first);
  }
  gtk_widget_set_can_default(d.start, TRUE);
  gtk_window_set_default(GTK_WINDOW(d.window), d.start);
  gtk_widget_grab_focus(d.start);

  g_signal_connect(d.start, "clicked", G_CALLBACK(onStartClicked), &d);
  g_signal_connect(d.quit, "clicked", G_CALLBACK(onQuitClicked), &d);
  g_signal_connect(d.window, "delete-event", G_CALLBACK(onDelete), &d);
  g_signal_connect(d.window, "key-press-event", G_CALLBACK(onKeyPress), &d);
  g_signal_connect(d.window, "destroy", G_CALLBACK(onDestroy), &d);
  g_signal_connect_after(d.window, "draw", G_CALLBACK(onDrawn), &d);
  d.open = true;
}

// Handles everything GTK has queued, without waiting for more.
void drainEvents() {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

class Controls final : public SettingsDialogControls {
 public:
  explicit Controls(Dialog& dialog) : d_(dialog) {}

  bool isOpen() const override { return d_.open; }

  std::string title() const override {
    if (!d_.open) return {};
    const char* text = gtk_window_get_title(GTK_WINDOW(d_.window));
    return text ? text : "";
  }

  std::vector<std::string> lines() const override {
    std::vector<std::string> result;
    if (!d_.open) return result;
    GtkTreeModel* model = GTK_TREE_MODEL(d_.store);
    GtkTreeIter iter;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
         more = gtk_tree_model_iter_next(model, &iter)) {
      gchar* text = nullptr;
      gtk_tree_model_get(model, &iter, 0, &text, -1);
      result.emplace_back(text ? text : "");
      g_free(text);
    }
    return result;
  }

  int selectedLine() const override { return d_.open ? selectedIndex(d_) : -1; }

  bool fullscreenTicked() const override {
    return d_.open && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(d_.check)) != FALSE;
  }

  std::string focusedControl() const override {
    return d_.open ? nameOf(gtk_window_get_focus(GTK_WINDOW(d_.window))) : "";
  }

  std::string defaultControl() const override {
    return d_.open ? nameOf(gtk_window_get_default_widget(GTK_WINDOW(d_.window))) : "";
  }

  std::string controlText(const std::string& control) const override {
    GtkWidget* widget = find(control);
    if (!widget) return {};
    const char* text = nullptr;
    if (GTK_IS_BUTTON(widget)) text = gtk_button_get_label(GTK_BUTTON(widget));
    if (GTK_IS_LABEL(widget)) text = gtk_label_get_text(GTK_LABEL(widget));
    return text ? text : "";
  }

  Rect controlRect(const std::string& control) const override {
    GtkWidget* widget = find(control);
    if (!widget) return {};
    GtkAllocation a;
    gtk_widget_get_allocation(widget, &a);
    return {a.x, a.y, a.width, a.height};
  }

  Rect frameRect() const override {
    if (!d_.open || !gtk_widget_get_window(d_.window)) return {};
    GdkRectangle r;
    gdk_window_get_frame_extents(gtk_widget_get_window(d_.window), &r);
    return {r.x, r.y, r.width, r.height};
  }

  Rect contentRect() const override {
    if (!d_.open || !gtk_widget_get_window(d_.window)) return {};
    GdkWindow* window = gtk_widget_get_window(d_.window);
    Rect r;
    gdk_window_get_origin(window, &r.x, &r.y);
    r.width = gdk_window_get_width(window);
    r.height = gdk_window_get_height(window);
    return r;
  }

  void selectLine(int index) override {
    if (!d_.open) return;
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(d_.list));
    if (index < 0) {
      gtk_tree_selection_unselect_all(selection);
      return;
    }
    GtkTreePath* path = gtk_tree_path_new_from_indices(index, -1);
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(d_.list), path, nullptr, FALSE);
    gtk_tree_path_free(path);
  }

  void clickFullscreen() override {
    if (d_.open) gtk_button_clicked(GTK_BUTTON(d_.check));
  }

  void click(const std::string& control) override {
    GtkWidget* widget = find(control);
    if (widget && GTK_IS_BUTTON(widget)) gtk_button_clicked(GTK_BUTTON(widget));
  }

  void focus(const std::string& control) override {
    GtkWidget* widget = find(control);
    if (widget == d_.scroller) widget = d_.list;
    if (widget) gtk_widget_grab_focus(widget);
  }

  void pressKey(Key key) override {
    if (!d_.open) return;
    GdkWindow* window = gtk_widget_get_window(d_.window);
    GdkDisplay* display = gdk_window_get_display(window);
    const guint keyval = key == Key::Return ? GDK_KEY_Return : GDK_KEY_Escape;
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(window));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = keyval;
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &count) && count > 0) {
      event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
      event->key.group = static_cast<guint8>(keys[0].group);
    }
    g_free(keys);
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
    gdk_event_put(event);
    gdk_event_free(event);
  }

  void requestClose() override {
    if (!d_.open) return;
    GdkEvent* event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(d_.window)));
    event->any.send_event = TRUE;
    gdk_event_put(event);
    gdk_event_free(event);
  }

  void settle() override {
    d_.drawn = false;
    if (d_.open) gtk_widget_queue_draw(d_.window);
    const gint64 deadline = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
    while (g_get_monotonic_time() < deadline) {
      drainEvents();
      gdk_display_sync(gdk_display_get_default());
      if (!gtk_events_pending() && (d_.drawn || !d_.open)) break;
      g_usleep(1000);
    }
  }

  bool saveScreenshot(const std::string& path) override {
    if (!d_.open) return false;
    GdkWindow* root = gdk_get_default_root_window();
    const Rect frame = frameRect();
    const int width = std::min(gdk_window_get_width(root), frame.x + frame.width + 20);
    const int height = std::min(gdk_window_get_height(root), frame.y + frame.height + 20);
    GdkPixbuf* picture = gdk_pixbuf_get_from_window(root, 0, 0, width, height);
    if (!picture) return false;
    GError* error = nullptr;
    const bool saved = gdk_pixbuf_save(picture, path.c_str(), "png", &error, nullptr) != FALSE;
    if (error) {
      std::fprintf(stderr, "settings dialog screenshot: %s\n", error->message);
      g_error_free(error);
    }
    g_object_unref(picture);
    return saved;
  }

 private:
  GtkWidget* find(const std::string& control) const {
    if (!d_.open) return nullptr;
    if (control == "start") return d_.start;
    if (control == "quit") return d_.quit;
    if (control == "fullScreenSelection") return d_.check;
    if (control == "fullscreen") return d_.label;
    if (control == "tuvak") return d_.scroller;
    return nullptr;
  }

  std::string nameOf(GtkWidget* widget) const {
    if (!widget) return {};
    if (widget == d_.list) return "tuvak";
    const char* name = gtk_widget_get_name(widget);
    return name ? name : "";
  }

  Dialog& d_;
};

}  // namespace

bool settingsDialogCanOpen() {
  static bool localeKept = false;
  if (!localeKept) {
    // GTK would switch the whole process to the user's locale, and with it
    // the decimal point of every number the production reads and prints.
    gtk_disable_setlocale();
    localeKept = true;
  }
  return gtk_init_check(nullptr, nullptr) != FALSE;
}

bool settingsDialogGone() {
  if (!gdk_display_get_default()) return true;
  GList* windows = gtk_window_list_toplevels();
  const bool none = windows == nullptr;
  g_list_free(windows);
  return none && !gtk_events_pending();
}

bool runSettingsDialog(DisplaySettings& settings, const std::vector<DisplayMode>& modes,
                       const std::function<void(SettingsDialogControls&)>& drive) {
  if (!settingsDialogCanOpen()) {
    std::fprintf(stderr, "settings dialog skipped: no display could be opened; using %ux%u %s\n", settings.width,
                 settings.height, settings.fullscreen ? "fullscreen" : "windowed");
    return true;
  }

  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, kCss, -1, nullptr);
  GdkScreen* screen = gdk_screen_get_default();
  gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(css), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);

  Dialog dialog;
  dialog.settings = &settings;
  dialog.modes = &modes;
  build(dialog);
  gtk_widget_show_all(dialog.window);

  if (drive) {
    Controls controls(dialog);
    controls.settle();
    drive(controls);
  }
  while (dialog.open) gtk_main_iteration();

  // Nothing of the dialog may linger once the production's window opens.
  drainEvents();
  gdk_display_sync(gdk_display_get_default());
  drainEvents();
  gtk_style_context_remove_provider_for_screen(screen, GTK_STYLE_PROVIDER(css));
  g_object_unref(css);
  return dialog.accepted;
}

bool runSettingsWindow(RenderWindow& window, const std::function<void(SettingsDialogControls&)>& drive) {
  // Without a display SDL is not even asked; the dialog reports the skip.
  const std::vector<DisplayMode> modes = settingsDialogCanOpen() ? listDisplayModes() : std::vector<DisplayMode>{};
  return runSettingsDialog(window.settings, modes, drive);
}

}  // namespace velm
