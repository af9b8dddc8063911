#include "platform/gtk_view.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <map>
#include <string>

#include "platform/linux/paths.h"
#include "platform/linux/resources.h"
#include "platform/linux/window_internal.h"

namespace platform {
namespace {

// Controls as compact as the dialog units place them: the theme's padding
// would make fields and buttons taller than their rows.
const char kStyle[] =
    "* { font-size: 9pt; }"
    "entry { min-height: 0; padding-top: 0; padding-bottom: 0; }"
    "button { min-height: 0; padding: 0 4px; }"
    "progressbar trough, progressbar progress { min-height: 12px; }";

std::string Utf8(const std::u16string& text)
{
    return TextToNative(text);
}

std::u16string FromUtf8(const char* text)
{
    return TextFromNative(text ? text : "");
}

bool IsClass(const WindowSnapshot& window, const char16_t* name)
{
    return SameClassName(window.className, name);
}

GdkPixbuf* PixbufOf(HICON icon)
{
    const IconImage* image = IconImageOf(icon);
    if (!image || image->width <= 0 || image->height <= 0)
        return nullptr;
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, image->width, image->height);
    guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    int stride = gdk_pixbuf_get_rowstride(pixbuf);
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            uint32_t argb = image->argb[size_t(y * image->width + x)];
            guchar* p = pixels + y * stride + x * 4;
            p[0] = guchar(argb >> 16);
            p[1] = guchar(argb >> 8);
            p[2] = guchar(argb);
            p[3] = guchar(argb >> 24);
        }
    }
    return pixbuf;
}

class GtkView : public WindowView {
public:
    GtkView();
    ~GtkView() override;

    void WindowChanged(HWND hwnd, WindowChange change) override;
    DisplayMetrics Metrics() const override { return m_metrics; }
    DialogFontMetrics MeasureDialogFont(const std::u16string& typeface, int points) const override;
    bool RunsEventLoopOn(DWORD threadId) const override { return threadId == m_threadId; }
    void WaitForEvents(DWORD timeoutMs) override;
    void PollEvents() override;
    void Wake(DWORD threadId) override;

private:
    // What shows one window.
    struct Shown {
        GtkWidget* widget = nullptr;  // the toplevel or the control
        GtkWidget* fixed = nullptr;   // a toplevel's area for its controls
    };

    void Create(const WindowSnapshot& window);
    void CreateDialogWindow(const WindowSnapshot& window);
    void CreateMessageBox(const WindowSnapshot& window);
    void CreateFolderChooser(const WindowSnapshot& window);
    void CreateControl(const WindowSnapshot& window);
    void Update(const WindowSnapshot& window, WindowChange change);
    void SetText(GtkWidget* widget, const WindowSnapshot& window);
    GtkWindow* ToplevelOf(HWND hwnd);

    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer hwnd);
    static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer hwnd);
    static gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer hwnd);
    static void OnClicked(GtkButton*, gpointer hwnd);
    static void OnEntryChanged(GtkEditable* editable, gpointer view);
    static void OnMessageBoxResponse(GtkDialog*, gint response, gpointer hwnd);
    static void OnFolderChosen(GtkDialog* dialog, gint response, gpointer hwnd);

    DWORD m_threadId;
    DisplayMetrics m_metrics;
    std::map<HWND, Shown> m_shown;
    bool m_applyingChange = false;  // entry texts set by the layer, not typed
};

GtkView::GtkView() : m_threadId(GetCurrentThreadId())
{
    GdkRectangle area = {0, 0, 1024, 768};
    if (GdkMonitor* monitor = gdk_display_get_primary_monitor(gdk_display_get_default()))
        gdk_monitor_get_workarea(monitor, &area);
    else if (GdkMonitor* first = gdk_display_get_monitor(gdk_display_get_default(), 0))
        gdk_monitor_get_workarea(first, &area);
    m_metrics.screenWidth = area.width;
    m_metrics.screenHeight = area.height;
    // The window manager draws title bars and frames outside the window.
    m_metrics.captionHeight = 0;
    m_metrics.frameWidth = 0;

    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kStyle, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

GtkView::~GtkView()
{
    for (auto& entry : m_shown) {
        if (entry.second.widget && GTK_IS_WINDOW(entry.second.widget))
            gtk_widget_destroy(entry.second.widget);
    }
}

// Dialog units come from the font the controls are drawn with: its
// average Latin letter and its line height.
DialogFontMetrics GtkView::MeasureDialogFont(const std::u16string&, int points) const
{
    PangoFontMap* map = pango_cairo_font_map_get_default();
    PangoContext* context = pango_font_map_create_context(map);
    pango_cairo_context_set_resolution(context, 96);
    PangoFontDescription* font = pango_font_description_from_string("Sans");
    pango_font_description_set_size(font, points * PANGO_SCALE);
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_font_description(layout, font);
    const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    pango_layout_set_text(layout, letters, -1);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    g_object_unref(layout);
    pango_font_description_free(font);
    g_object_unref(context);
    DialogFontMetrics metrics;
    metrics.averageCharWidth = std::max(1, (width / 26 + 1) / 2);
    metrics.height = std::max(1, height);
    return metrics;
}

void GtkView::WaitForEvents(DWORD timeoutMs)
{
    guint timer = 0;
    if (timeoutMs != INFINITE)
        timer = g_timeout_add(timeoutMs, [](gpointer) { return gboolean(G_SOURCE_REMOVE); }, nullptr);
    g_main_context_iteration(nullptr, TRUE);
    if (timer && g_main_context_find_source_by_id(nullptr, timer))
        g_source_remove(timer);
}

void GtkView::PollEvents()
{
    for (int i = 0; i < 100 && g_main_context_iteration(nullptr, FALSE); ++i) {
    }
}

void GtkView::Wake(DWORD threadId)
{
    if (threadId == m_threadId)
        g_main_context_wakeup(nullptr);
}

void GtkView::WindowChanged(HWND hwnd, WindowChange change)
{
    if (change == WindowChange::Destroyed) {
        auto found = m_shown.find(hwnd);
        if (found != m_shown.end()) {
            if (found->second.widget)
                gtk_widget_destroy(found->second.widget);
            m_shown.erase(found);
        }
        return;
    }
    WindowSnapshot window;
    if (!SnapshotWindow(hwnd, &window))
        return;
    if (change == WindowChange::Created)
        Create(window);
    else
        Update(window, change);
}

void GtkView::Create(const WindowSnapshot& window)
{
    MessageBoxContent box;
    FolderBrowserContent browser;
    if (DescribeMessageBox(window.hwnd, &box))
        CreateMessageBox(window);
    else if (DescribeFolderBrowser(window.hwnd, &browser))
        CreateFolderChooser(window);
    else if (!window.parent)
        CreateDialogWindow(window);
    else
        CreateControl(window);
}

void GtkView::CreateDialogWindow(const WindowSnapshot& window)
{
    GtkWidget* toplevel = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(toplevel), Utf8(window.text).c_str());
    gtk_window_set_resizable(GTK_WINDOW(toplevel), FALSE);
    gtk_window_set_position(GTK_WINDOW(toplevel), GTK_WIN_POS_CENTER);
    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, window.client.cx, window.client.cy);
    gtk_container_add(GTK_CONTAINER(toplevel), fixed);
    gpointer hwnd = window.hwnd;
    g_signal_connect(toplevel, "delete-event", G_CALLBACK(OnDelete), hwnd);
    g_signal_connect(toplevel, "key-press-event", G_CALLBACK(OnKeyPress), hwnd);
    g_signal_connect(toplevel, "window-state-event", G_CALLBACK(OnWindowState), hwnd);
    // A fixed-size window with a minimise button and no maximise button.
    gtk_widget_realize(toplevel);
    gdk_window_set_functions(gtk_widget_get_window(toplevel),
                             GdkWMFunction(GDK_FUNC_MOVE | GDK_FUNC_MINIMIZE | GDK_FUNC_CLOSE));
    m_shown[window.hwnd] = Shown{toplevel, fixed};
    Update(window, WindowChange::Shown);
}

GtkMessageType MessageTypeOf(UINT type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONQUESTION: return GTK_MESSAGE_QUESTION;
    case MB_ICONEXCLAMATION: return GTK_MESSAGE_WARNING;
    case MB_ICONHAND: return GTK_MESSAGE_ERROR;
    case MB_ICONASTERISK: return GTK_MESSAGE_INFO;
    default: return GTK_MESSAGE_OTHER;
    }
}

const char* IconNameOf(UINT type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONQUESTION: return "dialog-question";
    case MB_ICONEXCLAMATION: return "dialog-warning";
    case MB_ICONHAND: return "dialog-error";
    case MB_ICONASTERISK: return "dialog-information";
    default: return nullptr;
    }
}

// GTK 3 message dialogs show no icon of their own any more; a message box
// shows the one its type asks for.
void ShowIcon(GtkMessageDialog* dialog, UINT type)
{
    const char* name = IconNameOf(type);
    if (!name)
        return;
    GtkWidget* image = gtk_image_new_from_icon_name(name, GTK_ICON_SIZE_DIALOG);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_message_dialog_set_image(dialog, image);
    G_GNUC_END_IGNORE_DEPRECATIONS
    gtk_widget_show(image);
}

void AddButtons(GtkDialog* dialog, UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        gtk_dialog_add_button(dialog, "确定", IDOK);
        gtk_dialog_add_button(dialog, "取消", IDCANCEL);
        break;
    case MB_YESNOCANCEL:
        gtk_dialog_add_button(dialog, "是(_Y)", IDYES);
        gtk_dialog_add_button(dialog, "否(_N)", IDNO);
        gtk_dialog_add_button(dialog, "取消", IDCANCEL);
        break;
    case MB_YESNO:
        gtk_dialog_add_button(dialog, "是(_Y)", IDYES);
        gtk_dialog_add_button(dialog, "否(_N)", IDNO);
        break;
    default: gtk_dialog_add_button(dialog, "确定", IDOK); break;
    }
}

void GtkView::CreateMessageBox(const WindowSnapshot& window)
{
    MessageBoxContent box;
    DescribeMessageBox(window.hwnd, &box);
    GtkWidget* dialog = gtk_message_dialog_new(ToplevelOf(window.owner), GTK_DIALOG_MODAL,
                                               MessageTypeOf(box.type), GTK_BUTTONS_NONE, "%s",
                                               Utf8(box.text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), Utf8(box.caption).c_str());
    gtk_widget_set_size_request(dialog, 320, -1);  // room for the caption
    ShowIcon(GTK_MESSAGE_DIALOG(dialog), box.type);
    AddButtons(GTK_DIALOG(dialog), box.type);
    g_signal_connect(dialog, "response", G_CALLBACK(OnMessageBoxResponse), window.hwnd);
    m_shown[window.hwnd] = Shown{dialog, nullptr};
    gtk_widget_show_all(dialog);
}

void GtkView::CreateFolderChooser(const WindowSnapshot& window)
{
    FolderBrowserContent browser;
    DescribeFolderBrowser(window.hwnd, &browser);
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        Utf8(browser.title).c_str(), ToplevelOf(window.owner), GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER,
        "取消", GTK_RESPONSE_CANCEL, "选择", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(dialog), TRUE);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    // The browser starts at the top of the person's own files, with no
    // folder chosen in advance.
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), g_get_home_dir());
    g_signal_connect(dialog, "response", G_CALLBACK(OnFolderChosen), window.hwnd);
    m_shown[window.hwnd] = Shown{dialog, nullptr};
    gtk_widget_show_all(dialog);
}

void GtkView::CreateControl(const WindowSnapshot& window)
{
    auto parent = m_shown.find(window.parent);
    if (parent == m_shown.end() || !parent->second.fixed)
        return;
    GtkWidget* widget;
    gpointer hwnd = window.hwnd;
    if (IsClass(window, u"Edit")) {
        widget = gtk_entry_new();
        gtk_entry_set_has_frame(GTK_ENTRY(widget), (window.style & WS_BORDER) != 0);
        g_signal_connect(widget, "changed", G_CALLBACK(OnEntryChanged), this);
    } else if (IsClass(window, u"Button")) {
        widget = gtk_button_new();
        g_signal_connect(widget, "clicked", G_CALLBACK(OnClicked), hwnd);
    } else if (IsClass(window, PROGRESS_CLASSW)) {
        widget = gtk_progress_bar_new();
    } else {
        widget = gtk_label_new("");
        gtk_label_set_xalign(GTK_LABEL(widget), 0);
        gtk_label_set_ellipsize(GTK_LABEL(widget), PANGO_ELLIPSIZE_END);
        gtk_label_set_single_line_mode(GTK_LABEL(widget), TRUE);
    }
    g_object_set_data(G_OBJECT(widget), "hwnd", hwnd);
    gtk_widget_set_size_request(widget, window.rect.right - window.rect.left,
                                window.rect.bottom - window.rect.top);
    gtk_fixed_put(GTK_FIXED(parent->second.fixed), widget, window.rect.left, window.rect.top);
    m_shown[window.hwnd] = Shown{widget, nullptr};
    for (WindowChange change : {WindowChange::Text, WindowChange::Enabled, WindowChange::Progress,
                                WindowChange::Shown})
        Update(window, change);
}

void GtkView::SetText(GtkWidget* widget, const WindowSnapshot& window)
{
    std::string text = Utf8(window.text);
    if (GTK_IS_WINDOW(widget)) {
        gtk_window_set_title(GTK_WINDOW(widget), text.c_str());
    } else if (GTK_IS_ENTRY(widget)) {
        if (text != gtk_entry_get_text(GTK_ENTRY(widget))) {
            m_applyingChange = true;
            gtk_entry_set_text(GTK_ENTRY(widget), text.c_str());
            m_applyingChange = false;
        }
    } else if (GTK_IS_BUTTON(widget)) {
        gtk_button_set_label(GTK_BUTTON(widget), text.c_str());
    } else if (GTK_IS_LABEL(widget)) {
        gtk_label_set_text(GTK_LABEL(widget), text.c_str());
    }
}

void GtkView::Update(const WindowSnapshot& window, WindowChange change)
{
    auto found = m_shown.find(window.hwnd);
    if (found == m_shown.end())
        return;
    GtkWidget* widget = found->second.widget;
    switch (change) {
    case WindowChange::Text: SetText(widget, window); break;
    case WindowChange::Enabled:
        if (window.parent)  // a disabled dialog under a question is shown as it is
            gtk_widget_set_sensitive(widget, window.enabled());
        break;
    case WindowChange::Progress:
        if (GTK_IS_PROGRESS_BAR(widget)) {
            int span = window.rangeHigh - window.rangeLow;
            double fraction = span > 0 ? double(window.position - window.rangeLow) / span : 0;
            gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(widget), fraction);
        }
        break;
    case WindowChange::Shown:
        if (!window.visible())
            gtk_widget_hide(widget);
        else if (GTK_IS_WINDOW(widget) && window.minimized())
            gtk_window_iconify(GTK_WINDOW(widget));
        else if (GTK_IS_WINDOW(widget)) {
            gtk_widget_show_all(widget);
            gtk_window_present(GTK_WINDOW(widget));
        } else
            gtk_widget_show(widget);
        break;
    case WindowChange::Moved:
        if (GTK_IS_WINDOW(widget))
            gtk_window_move(GTK_WINDOW(widget), window.rect.left, window.rect.top);
        break;
    case WindowChange::Focus: gtk_widget_grab_focus(widget); break;
    case WindowChange::Icon:
        if (GTK_IS_WINDOW(widget)) {
            if (GdkPixbuf* pixbuf = PixbufOf(window.bigIcon ? window.bigIcon : window.smallIcon)) {
                gtk_window_set_icon(GTK_WINDOW(widget), pixbuf);
                g_object_unref(pixbuf);
            }
        }
        break;
    default: break;
    }
}

GtkWindow* GtkView::ToplevelOf(HWND hwnd)
{
    auto found = m_shown.find(hwnd);
    if (found == m_shown.end() || !GTK_IS_WINDOW(found->second.widget))
        return nullptr;
    return GTK_WINDOW(found->second.widget);
}

// ---- A person's input, turned into the layer's messages.

gboolean GtkView::OnDelete(GtkWidget*, GdkEvent*, gpointer hwnd)
{
    PostMessageW(static_cast<HWND>(hwnd), WM_SYSCOMMAND, SC_CLOSE, 0);
    return TRUE;  // the program decides whether the window goes
}

gboolean GtkView::OnKeyPress(GtkWidget* toplevel, GdkEventKey* event, gpointer)
{
    UINT key = 0;
    if (event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter)
        key = VK_RETURN;
    else if (event->keyval == GDK_KEY_Escape)
        key = VK_ESCAPE;
    if (!key)
        return FALSE;
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(toplevel));
    HWND target = focus ? static_cast<HWND>(g_object_get_data(G_OBJECT(focus), "hwnd")) : nullptr;
    if (!target)
        return FALSE;
    PostMessageW(target, WM_KEYDOWN, key, 0);
    PostMessageW(target, WM_KEYUP, key, 0);
    return TRUE;
}

gboolean GtkView::OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer hwnd)
{
    if (!(event->changed_mask & GDK_WINDOW_STATE_ICONIFIED))
        return FALSE;
    bool iconified = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    if (iconified != bool(IsIconic(static_cast<HWND>(hwnd))))
        PostMessageW(static_cast<HWND>(hwnd), WM_SYSCOMMAND, iconified ? SC_MINIMIZE : SC_RESTORE, 0);
    return FALSE;
}

void GtkView::OnClicked(GtkButton*, gpointer hwnd)
{
    PostMessageW(static_cast<HWND>(hwnd), BM_CLICK, 0, 0);
}

// Typing and pasting change the entry itself; the field's text follows.
void GtkView::OnEntryChanged(GtkEditable* editable, gpointer view)
{
    if (static_cast<GtkView*>(view)->m_applyingChange)
        return;
    auto hwnd = static_cast<HWND>(g_object_get_data(G_OBJECT(editable), "hwnd"));
    std::u16string text = FromUtf8(gtk_entry_get_text(GTK_ENTRY(editable)));
    static_cast<GtkView*>(view)->m_applyingChange = true;
    SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    static_cast<GtkView*>(view)->m_applyingChange = false;
}

void GtkView::OnMessageBoxResponse(GtkDialog*, gint response, gpointer hwnd)
{
    if (response > 0)
        EndModalLoop(static_cast<HWND>(hwnd), response);
    else  // closed from its title bar
        PostMessageW(static_cast<HWND>(hwnd), WM_CLOSE, 0, 0);
}

void GtkView::OnFolderChosen(GtkDialog* dialog, gint response, gpointer hwnd)
{
    if (response != GTK_RESPONSE_ACCEPT) {
        AnswerFolderBrowser(static_cast<HWND>(hwnd), nullptr);
        return;
    }
    gchar* filename = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    std::u16string path = filename ? NameFromNative(filename) : std::u16string();
    g_free(filename);
    AnswerFolderBrowser(static_cast<HWND>(hwnd), &path);
}

}  // namespace

std::unique_ptr<WindowView> OpenGtkView(int* argc, char*** argv)
{
    if (!gtk_init_check(argc, argv))
        return nullptr;
    return std::make_unique<GtkView>();
}

}  // namespace platform
