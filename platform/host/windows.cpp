// Windows, messages, message boxes and GDI of the simulated machine. Windows are
// objects with a class, title, style, rectangle and visibility; posted messages
// wait in one thread queue; WM_PAINT is made when the queue is empty and a shown
// window needs painting, as on Windows. Message boxes are answered by the
// scripted user and recorded (a box nobody answers is a problem of the run); bitmap copies made while painting are recorded.
#include <stdio.h>
#include <string.h>

#include <deque>
#include <memory>

#include "hostrc_table.h"
#include "internal.h"

struct HostResource;
HostResource *HostFindNamedResource(const char *type, LPCSTR name);
const std::string &HostResourceBytes(HostResource *r);

struct HostWindow {
    std::string className;
    std::string title;
    DWORD style;
    RECT rect;
    WNDPROC proc;
    HWND parent;
    bool visible;
    bool everShown;
    bool destroyed;
    bool needsPaint;
    int id;  // a child's control id
    std::vector<std::string> texts;  // every text given with SetWindowTextA, in order
};

struct HostGdiObject {
    enum Kind { Brush, Bitmap, Icon, Cursor } kind;
    COLORREF color;
    std::string name;
    int width, height, bpp;
    bool deleted;
};

struct HostDC {
    HWND wnd;
    HGDIOBJ selected;
};

struct HostClass {
    WNDCLASSA wc;
    std::string name;
};

static std::vector<std::unique_ptr<HostWindow>> g_windows;
static std::vector<std::unique_ptr<HostGdiObject>> g_objects;
static std::vector<std::unique_ptr<HostDC>> g_dcs;
static std::vector<std::unique_ptr<HostClass>> g_classes;
static std::deque<MSG> g_queue;
static bool g_quitPosted;
static int g_quitCode;
struct HostAnswer {
    int answer;
    void (*before)(void);
};
static std::deque<HostAnswer> g_answers;
static std::vector<HostMessageBox> g_boxes;
static std::vector<HostBlit> g_blits;
static HostWindow g_desktop;
static void (*g_idle)(void);

// The dialogs of the layer (dialogs.cpp): their reset, the scripted user's
// moment to act on modeless dialogs, and the edit controls' change notice.
void HostResetDialogs();
void HostDialogsIdle();
void HostControlTextChanged(HWND wnd);

// Frame of a captioned window without a sizing border, in pixels.
static const int kFrame = 3;
static const int kCaption = 18;

void HostResetWindows()
{
    g_windows.clear();
    g_objects.clear();
    g_dcs.clear();
    g_classes.clear();
    g_queue.clear();
    g_quitPosted = false;
    g_quitCode = 0;
    g_answers.clear();
    g_boxes.clear();
    g_blits.clear();
    g_idle = nullptr;
    g_desktop = HostWindow();
    g_desktop.className = "#32769";
    g_desktop.visible = true;
    HostResetDialogs();
}

static HostWindow *Window(HWND wnd)
{
    if (wnd == &g_desktop) return &g_desktop;
    for (auto &w : g_windows)
        if (w.get() == wnd && !w->destroyed) return w.get();
    return nullptr;
}

static HostClass *FindClass(const char *name)
{
    for (auto &c : g_classes)
        if (HostUpper(c->name) == HostUpper(name)) return c.get();
    return nullptr;
}

const WNDCLASSA *HostFindClass(const char *className)
{
    HostClass *c = FindClass(className);
    return c ? &c->wc : nullptr;
}

ATOM RegisterClassA(const WNDCLASSA *wc)
{
    if (HostFault("RegisterClassA")) return 0;
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (FindClass(wc->lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto c = std::make_unique<HostClass>();
    c->wc = *wc;
    c->name = wc->lpszClassName;
    c->wc.lpszClassName = c->name.c_str();
    g_classes.push_back(std::move(c));
    return (ATOM)(0xC000 + g_classes.size());
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width, int height,
                     HWND parent, HMENU menu, HINSTANCE, LPVOID)
{
    if (HostFault("CreateWindowExA")) return nullptr;
    HostClass *c = FindClass(className);
    if (!c) {
        SetLastError(1407);  // ERROR_CANNOT_FIND_WND_CLASS
        return nullptr;
    }
    auto w = std::make_unique<HostWindow>();
    w->className = c->name;
    w->title = title ? title : "";
    w->style = style;
    w->rect = RECT{x, y, x + width, y + height};
    w->proc = c->wc.lpfnWndProc;
    w->parent = parent;
    w->id = (style & WS_CHILD) ? (int)(intptr_t)menu : 0;
    w->visible = (style & WS_VISIBLE) != 0;
    w->everShown = w->visible;
    w->needsPaint = w->visible;
    HWND wnd = w.get();
    g_windows.push_back(std::move(w));
    if (wnd->proc(wnd, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(wnd);
        SetLastError(1400);
        return nullptr;
    }
    return wnd;
}

BOOL DestroyWindow(HWND wnd)
{
    HostWindow *w = Window(wnd);
    if (!w || w == &g_desktop) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    for (auto &child : g_windows)
        if (child->parent == wnd && !child->destroyed) DestroyWindow(child.get());
    w->visible = false;
    w->proc(wnd, WM_DESTROY, 0, 0);
    w->destroyed = true;
    return TRUE;
}

BOOL ShowWindow(HWND wnd, int cmd)
{
    HostWindow *w = Window(wnd);
    if (!w) return FALSE;
    BOOL was = w->visible;
    w->visible = cmd != SW_HIDE;
    if (w->visible) {
        w->everShown = true;
        w->needsPaint = true;
    }
    return was;
}

BOOL UpdateWindow(HWND wnd)
{
    HostWindow *w = Window(wnd);
    if (!w) return FALSE;
    if (w->visible && w->needsPaint) w->proc(wnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL IsWindow(HWND wnd) { return Window(wnd) != nullptr; }

BOOL MoveWindow(HWND wnd, int x, int y, int width, int height, BOOL repaint)
{
    HostWindow *w = Window(wnd);
    if (!w || w == &g_desktop) return FALSE;
    w->rect = RECT{x, y, x + width, y + height};
    if (repaint && w->visible) w->needsPaint = true;
    return TRUE;
}

BOOL GetWindowRect(HWND wnd, LPRECT rect)
{
    if (wnd == &g_desktop) {
        *rect = RECT{0, 0, HostState().desktopWidth, HostState().desktopHeight};
        return TRUE;
    }
    HostWindow *w = Window(wnd);
    if (!w) return FALSE;
    *rect = w->rect;
    return TRUE;
}

BOOL GetClientRect(HWND wnd, LPRECT rect)
{
    RECT r;
    if (!GetWindowRect(wnd, &r)) return FALSE;
    int width = r.right - r.left, height = r.bottom - r.top;
    if (wnd != &g_desktop && (Window(wnd)->style & WS_CAPTION) == WS_CAPTION) {
        width -= 2 * kFrame;
        height -= 2 * kFrame + kCaption;
    }
    *rect = RECT{0, 0, width > 0 ? width : 0, height > 0 ? height : 0};
    return TRUE;
}

bool HostClientRectOf(HWND wnd, RECT &client)
{
    for (auto &w : g_windows) {
        if (w.get() != wnd) continue;
        bool was = w->destroyed;
        w->destroyed = false;
        GetClientRect(wnd, &client);
        w->destroyed = was;
        return true;
    }
    return false;
}

HWND GetDesktopWindow(void) { return &g_desktop; }

HWND GetDlgItem(HWND dialog, int id)
{
    for (auto &w : g_windows)
        if (!w->destroyed && w->parent == dialog && w->id == id) return w.get();
    SetLastError(1421);  // ERROR_CONTROL_ID_NOT_FOUND
    return nullptr;
}

static HWND g_active;
HWND SetActiveWindow(HWND wnd)
{
    HWND old = g_active;
    if (Window(wnd)) g_active = wnd;
    return old;
}

BOOL SetWindowTextA(HWND wnd, LPCSTR text)
{
    HostWindow *w = Window(wnd);
    if (!w) return FALSE;
    w->title = text ? text : "";
    w->texts.push_back(w->title);
    HostControlTextChanged(wnd);
    return TRUE;
}

int GetWindowTextA(HWND wnd, LPSTR buffer, int size)
{
    HostWindow *w = Window(wnd);
    if (!w || size <= 0) return 0;
    int n = (int)w->title.size();
    if (n > size - 1) n = size - 1;
    memcpy(buffer, w->title.data(), (size_t)n);
    buffer[n] = 0;
    return n;
}

LRESULT DefWindowProcA(HWND wnd, UINT msg, WPARAM, LPARAM)
{
    switch (msg) {
    case WM_CLOSE:
        DestroyWindow(wnd);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(wnd, &ps);
        EndPaint(wnd, &ps);
        return 0;
    }
    default:
        return 0;
    }
}

LRESULT SendMessageA(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    HostWindow *w = Window(wnd);
    if (!w || !w->proc) return 0;
    return w->proc(wnd, msg, wParam, lParam);
}

BOOL PostMessageA(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (HostFault("PostMessageA")) return FALSE;
    if (wnd && !Window(wnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    g_queue.push_back(MSG{wnd, msg, wParam, lParam, 0, POINT{0, 0}});
    return TRUE;
}

void PostQuitMessage(int code)
{
    g_quitPosted = true;
    g_quitCode = code;
}

// Takes the next message: posted ones first, then the quit message, then a
// WM_PAINT for a shown window that needs it. False when there is nothing.
static bool NextMessage(LPMSG msg, bool remove)
{
    while (!g_queue.empty()) {
        MSG m = g_queue.front();
        if (m.hwnd && !Window(m.hwnd)) {  // its window has gone: dropped
            g_queue.pop_front();
            continue;
        }
        *msg = m;
        if (remove) g_queue.pop_front();
        return true;
    }
    if (g_quitPosted) {
        *msg = MSG{nullptr, WM_QUIT, (WPARAM)(intptr_t)g_quitCode, 0, 0, POINT{0, 0}};
        if (remove) g_quitPosted = false;
        return true;
    }
    for (auto &w : g_windows) {
        if (!w->destroyed && w->visible && w->needsPaint) {
            *msg = MSG{w.get(), WM_PAINT, 0, 0, 0, POINT{0, 0}};
            return true;
        }
    }
    return false;
}

BOOL GetMessageA(LPMSG msg, HWND, UINT, UINT)
{
    bool got = NextMessage(msg, true);
    if (!got) {  // the moment a modeless dialog's user acts
        HostDialogsIdle();
        got = NextMessage(msg, true);
    }
    if (!got) {
        // A real thread would wait for ever here; the simulated user has nothing
        // more to give, so report an error rather than hang the test.
        fprintf(stderr, "host: GetMessageA on an empty queue with no quit message\n");
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return msg->message != WM_QUIT;
}

void HostOnIdle(void (*action)(void)) { g_idle = action; }

BOOL PeekMessageA(LPMSG msg, HWND, UINT, UINT, UINT remove)
{
    if (NextMessage(msg, (remove & PM_REMOVE) != 0)) return TRUE;
    // The queue is empty: the moment a user's click would arrive.
    if (g_idle) g_idle();
    HostDialogsIdle();
    return NextMessage(msg, (remove & PM_REMOVE) != 0);
}

static bool IsSelfOrChild(HWND wnd, HWND ancestor)
{
    for (HostWindow *w = Window(wnd); w; w = Window(w->parent))
        if (w == ancestor) return true;
    return false;
}

// The dialog manager's keyboard interface for a message meant for the dialog or
// one of its controls: Esc is the Cancel command (whether or not a Cancel button
// exists or is enabled, as on Windows), Enter the command of the enabled default
// push button, or IDOK when there is none; everything else is dispatched.
BOOL IsDialogMessageA(HWND dlg, LPMSG msg)
{
    if (!Window(dlg) || !msg->hwnd || !IsSelfOrChild(msg->hwnd, dlg)) return FALSE;
    const WPARAM kEscape = 0x1B, kReturn = 0x0D;
    if (msg->message == WM_KEYDOWN && msg->wParam == kEscape) {
        HWND cancel = nullptr;
        for (auto &w : g_windows)
            if (!w->destroyed && w->parent == dlg && (w->style & WS_CHILD) && w->id == IDCANCEL) cancel = w.get();
        SendMessageA(dlg, WM_COMMAND, MAKELONG(IDCANCEL, 0), (LPARAM)cancel);
        return TRUE;
    }
    if (msg->message == WM_KEYDOWN && msg->wParam == kReturn) {
        const DWORD kTypeMask = 0xF, kDefPushButton = 0x1;
        HostWindow *def = nullptr;
        for (auto &w : g_windows)
            if (!def && !w->destroyed && w->parent == dlg && (w->style & WS_CHILD) &&
                HostUpper(w->className) == "BUTTON" && (w->style & kTypeMask) == kDefPushButton)
                def = w.get();
        if (def && (def->style & WS_DISABLED)) return TRUE;
        SendMessageA(dlg, WM_COMMAND, MAKELONG(def ? def->id : IDOK, 0), (LPARAM)def);
        return TRUE;
    }
    DispatchMessageA(msg);
    return TRUE;
}

BOOL TranslateMessage(const MSG *) { return FALSE; }

LRESULT DispatchMessageA(const MSG *msg)
{
    HostWindow *w = Window(msg->hwnd);
    if (!w || !w->proc) return 0;
    return w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void HostAnswerMessageBox(int answer) { g_answers.push_back(HostAnswer{answer, nullptr}); }
void HostAnswerMessageBox(int answer, void (*before)(void)) { g_answers.push_back(HostAnswer{answer, before}); }
const std::vector<HostMessageBox> &HostMessageBoxes() { return g_boxes; }

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    if (HostFault("MessageBoxA")) return 0;
    int answer;
    if (!g_answers.empty()) {
        HostAnswer next = g_answers.front();
        g_answers.pop_front();
        if (next.before) next.before();
        answer = next.answer;
    } else {
        // Nobody said what the user answers: the test is wrong, whatever the
        // program does next. The answer that goes no further (Cancel, No, Abort)
        // lets the run end instead of retrying for ever.
        static const int giveUp[] = {IDOK, IDCANCEL, IDABORT, IDCANCEL, IDNO, IDCANCEL};
        answer = giveUp[(type & 0xF) < 6 ? (type & 0xF) : 0];
        HostReportProblem(std::string("message box \"") + (caption ? caption : "(no caption)") + "\" with no answer queued: \"" +
                          (text ? text : "") + "\"; answered " + std::to_string(answer));
    }
    g_boxes.push_back(HostMessageBox{owner, text ? text : "", caption ? caption : "", caption == nullptr, type, answer});
    return answer;
}

std::vector<std::string> HostWindowTexts(HWND wnd)
{
    for (auto &w : g_windows)
        if (w.get() == wnd) return w->texts;
    return {};
}

std::vector<HostWindowInfo> HostWindows()
{
    std::vector<HostWindowInfo> out;
    for (auto &w : g_windows)
        out.push_back(HostWindowInfo{w.get(), w->className, w->title, w->style, w->rect, w->visible, w->destroyed,
                                     w->everShown});
    return out;
}

HWND HostFindWindow(const char *className, const char *title)
{
    for (auto &w : g_windows) {
        if (w->destroyed) continue;
        if (className && HostUpper(w->className) != HostUpper(className)) continue;
        if (title && w->title != title) continue;
        return w.get();
    }
    return nullptr;
}

// ---- window state the dialogs use ------------------------------------------------

// Enabled is the absence of WS_DISABLED, as on Windows.
BOOL EnableWindow(HWND wnd, BOOL enable)
{
    HostWindow *w = Window(wnd);
    if (!w || w == &g_desktop) return FALSE;
    BOOL wasDisabled = (w->style & WS_DISABLED) != 0;
    if (enable)
        w->style &= ~(DWORD)WS_DISABLED;
    else
        w->style |= WS_DISABLED;
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND wnd)
{
    HostWindow *w = Window(wnd);
    return w && !(w->style & WS_DISABLED);
}

// Visible when the window and every parent it is a child of are shown.
BOOL IsWindowVisible(HWND wnd)
{
    for (HostWindow *w = Window(wnd); w; w = (w->style & WS_CHILD) ? Window(w->parent) : nullptr)
        if (!w->visible) return FALSE;
    return Window(wnd) != nullptr;
}

// A child's parent, or a pop-up's owner, as on Windows.
HWND GetParent(HWND wnd)
{
    HostWindow *w = Window(wnd);
    if (!w || w == &g_desktop) return nullptr;
    return Window(w->parent) ? w->parent : nullptr;
}

// For dialogs.cpp: a window of a built-in class (dialog, button, static...),
// made without a registered class and without fault injection, as the dialog
// manager makes them on Windows. The window is hidden until shown.
HWND HostCreateBuiltinWindow(const char *className, const char *title, DWORD style, const RECT &rect, WNDPROC proc,
                             HWND parent, int id)
{
    auto w = std::make_unique<HostWindow>();
    w->className = className;
    w->title = title ? title : "";
    w->style = style;
    w->rect = rect;
    w->proc = proc;
    w->parent = parent;
    w->id = id;
    w->visible = (style & WS_CHILD) && (style & WS_VISIBLE);
    w->everShown = w->visible;
    w->needsPaint = w->visible;
    w->destroyed = false;
    HWND wnd = w.get();
    g_windows.push_back(std::move(w));
    wnd->proc(wnd, WM_CREATE, 0, 0);
    return wnd;
}

DWORD HostWindowStyle(HWND wnd)
{
    HostWindow *w = Window(wnd);
    return w ? w->style : 0;
}

int HostWindowId(HWND wnd)
{
    HostWindow *w = Window(wnd);
    return w ? w->id : 0;
}

std::string HostWindowClass(HWND wnd)
{
    HostWindow *w = Window(wnd);
    return w ? w->className : std::string();
}

// The window's own visibility, whatever its parents'.
bool HostWindowShown(HWND wnd)
{
    HostWindow *w = Window(wnd);
    return w && w->visible;
}

// The live child windows of a window, in the order they were made (for a
// dialog: template order).
std::vector<HWND> HostChildWindows(HWND wnd)
{
    std::vector<HWND> out;
    for (auto &w : g_windows)
        if (!w->destroyed && w->parent == wnd && (w->style & WS_CHILD)) out.push_back(w.get());
    return out;
}

bool HostNextMessage(LPMSG msg, bool remove) { return NextMessage(msg, remove); }

// The window rectangle around a client rectangle, for the frame GetClientRect takes off.
void HostFrameRect(DWORD style, RECT &rect)
{
    if ((style & WS_CAPTION) != WS_CAPTION) return;
    rect.left -= kFrame;
    rect.right += kFrame;
    rect.top -= kFrame + kCaption;
    rect.bottom += kFrame;
}

// The screen position of a window's client area.
bool HostClientOrigin(HWND wnd, POINT &origin)
{
    HostWindow *w = Window(wnd);
    if (!w) return false;
    if (w == &g_desktop) {
        origin = POINT{0, 0};
        return true;
    }
    origin = POINT{w->rect.left, w->rect.top};
    if ((w->style & WS_CAPTION) == WS_CAPTION) {
        origin.x += kFrame;
        origin.y += kFrame + kCaption;
    }
    return true;
}

// ---- GDI --------------------------------------------------------------------------

static HostGdiObject *NewObject(HostGdiObject::Kind kind)
{
    auto o = std::make_unique<HostGdiObject>();
    o->kind = kind;
    o->color = 0;
    o->width = o->height = o->bpp = 0;
    o->deleted = false;
    HostGdiObject *p = o.get();
    g_objects.push_back(std::move(o));
    return p;
}

static HostGdiObject *Object(HGDIOBJ obj)
{
    for (auto &o : g_objects)
        if (o.get() == obj && !o->deleted) return o.get();
    return nullptr;
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    if (HostFault("CreateSolidBrush")) return nullptr;
    HostGdiObject *o = NewObject(HostGdiObject::Brush);
    o->color = color;
    return o;
}

bool HostBrushColor(HBRUSH brush, COLORREF &color)
{
    HostGdiObject *o = Object(brush);
    if (!o || o->kind != HostGdiObject::Brush) return false;
    color = o->color;
    return true;
}

static uint32_t Le32(const std::string &b, size_t at)
{
    if (at + 4 > b.size()) return 0;
    return (uint32_t)(unsigned char)b[at] | (uint32_t)(unsigned char)b[at + 1] << 8 |
           (uint32_t)(unsigned char)b[at + 2] << 16 | (uint32_t)(unsigned char)b[at + 3] << 24;
}

HBITMAP LoadBitmapA(HINSTANCE, LPCSTR name)
{
    if (HostFault("LoadBitmapA")) return nullptr;
    HostResource *r = HostFindNamedResource("BITMAP", name);
    if (!r) return nullptr;
    // The script names .bmp files: a file header, then BITMAPINFOHEADER.
    const std::string &b = HostResourceBytes(r);
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return nullptr;
    HostGdiObject *o = NewObject(HostGdiObject::Bitmap);
    o->name = IS_INTRESOURCE(name) ? "#" + std::to_string((unsigned)(uintptr_t)name) : name;
    o->width = (int)Le32(b, 18);
    o->height = (int)Le32(b, 22);
    if (o->height < 0) o->height = -o->height;
    o->bpp = (unsigned char)b[28] | (unsigned char)b[29] << 8;
    return o;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name)
{
    if (instance && !HostFindNamedResource("ICON", name)) return nullptr;
    HostGdiObject *o = NewObject(HostGdiObject::Icon);
    o->name = IS_INTRESOURCE(name) ? "#" + std::to_string((unsigned)(uintptr_t)name) : name;
    return o;
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR name)
{
    HostGdiObject *o = NewObject(HostGdiObject::Cursor);
    o->name = IS_INTRESOURCE(name) ? "#" + std::to_string((unsigned)(uintptr_t)name) : name;
    return o;
}

BOOL DeleteObject(HGDIOBJ obj)
{
    HostGdiObject *o = Object(obj);
    if (!o) return FALSE;
    o->deleted = true;
    return TRUE;
}

static HostDC *DC(HDC dc)
{
    for (auto &d : g_dcs)
        if (d.get() == dc) return d.get();
    return nullptr;
}

HDC BeginPaint(HWND wnd, LPPAINTSTRUCT ps)
{
    HostWindow *w = Window(wnd);
    if (!w) return nullptr;
    w->needsPaint = false;
    auto d = std::make_unique<HostDC>();
    d->wnd = wnd;
    d->selected = nullptr;
    HDC dc = d.get();
    g_dcs.push_back(std::move(d));
    memset(ps, 0, sizeof *ps);
    ps->hdc = dc;
    GetClientRect(wnd, &ps->rcPaint);
    return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT *) { return TRUE; }

HDC CreateCompatibleDC(HDC)
{
    if (HostFault("CreateCompatibleDC")) return nullptr;
    auto d = std::make_unique<HostDC>();
    d->wnd = nullptr;
    d->selected = nullptr;
    HDC dc = d.get();
    g_dcs.push_back(std::move(d));
    return dc;
}

BOOL DeleteDC(HDC dc) { return DC(dc) != nullptr; }

int GetObjectA(HGDIOBJ obj, int size, LPVOID out)
{
    HostGdiObject *o = Object(obj);
    if (!o || o->kind != HostGdiObject::Bitmap || size < (int)sizeof(BITMAP)) return 0;
    BITMAP bm;
    memset(&bm, 0, sizeof bm);
    bm.bmWidth = o->width;
    bm.bmHeight = o->height;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = (WORD)o->bpp;
    bm.bmWidthBytes = ((o->width * o->bpp + 15) / 16) * 2;
    memcpy(out, &bm, sizeof bm);
    return (int)sizeof bm;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj)
{
    HostDC *d = DC(dc);
    if (!d || !Object(obj)) return nullptr;
    HGDIOBJ old = d->selected;
    d->selected = obj;
    return old ? old : obj;  // the stock object a fresh context starts with
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int, int, DWORD)
{
    HostDC *d = DC(dst), *s = DC(src);
    if (!d || !s) return FALSE;
    HostGdiObject *o = Object(s->selected);
    g_blits.push_back(HostBlit{d->wnd, o ? o->name : "", x, y, width, height});
    return TRUE;
}

const std::vector<HostBlit> &HostBlits() { return g_blits; }
void HostClearBlits() { g_blits.clear(); }

void HostPaint(HWND wnd)
{
    HostWindow *w = Window(wnd);
    if (w && w->proc) w->proc(wnd, WM_PAINT, 0, 0);
}
