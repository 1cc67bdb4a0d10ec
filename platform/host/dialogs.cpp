// Dialogs of the simulated machine: dialog windows and their controls made from
// templates, modal and modeless dialogs, the old-style open-file dialog that the
// installer turns into a folder picker, and the scripted user who works them
// (see machine.h for the rules the user follows).
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <deque>
#include <map>
#include <memory>

#include "hostrc_table.h"
#include "internal.h"

// From windows.cpp.
HWND HostCreateBuiltinWindow(const char *className, const char *title, DWORD style, const RECT &rect, WNDPROC proc,
                             HWND parent, int id);
DWORD HostWindowStyle(HWND wnd);
int HostWindowId(HWND wnd);
std::string HostWindowClass(HWND wnd);
bool HostWindowShown(HWND wnd);
std::vector<HWND> HostChildWindows(HWND wnd);
bool HostNextMessage(LPMSG msg, bool remove);
void HostFrameRect(DWORD style, RECT &rect);
bool HostClientOrigin(HWND wnd, POINT &origin);

// Messages and styles of the dialog manager and the controls that the host
// declarations do not need to offer the installer.
static const UINT kWmLButtonUp = 0x0202;
static const UINT kWmSysCommand = 0x0112;
static const WPARAM kScClose = 0xF060;
static const WPARAM kVkEscape = 0x1B, kVkReturn = 0x0D;
static const UINT kHostWmType = WM_USER + 0x7F00;    // posted: the user's typed text arrives
static const UINT kHostWmSelect = WM_USER + 0x7F01;  // posted: the user picks list item wParam
static const WORD kBnClicked = 0, kEnChange = 0x0300, kSelChange = 1, kCbnEditChange = 5;
static const DWORD kWsTabStop = 0x00010000, kWsGroup = 0x00020000;
static const DWORD kDsAbsAlign = 0x01;
static const DWORD kBsTypeMask = 0xF, kBsCheckBox = 2, kBsAutoCheckBox = 3, kBsRadioButton = 4, kBs3State = 5,
                   kBsAuto3State = 6, kBsGroupBox = 7, kBsAutoRadioButton = 9;
static const DWORD kLbsNotify = 0x1, kLbsSort = 0x2, kCbsSort = 0x100;
static const UINT kLbAddString = 0x0180, kLbInsertString = 0x0181, kLbDeleteString = 0x0182,
                  kLbResetContent = 0x0184, kLbSetCurSel = 0x0186, kLbGetCurSel = 0x0188, kLbGetText = 0x0189,
                  kLbGetTextLen = 0x018A, kLbGetCount = 0x018B, kLbFindStringExact = 0x01A2;
static const UINT kCbAddString = 0x0143, kCbDeleteString = 0x0144, kCbGetCount = 0x0146, kCbGetCurSel = 0x0147,
                  kCbGetLbText = 0x0148, kCbGetLbTextLen = 0x0149, kCbInsertString = 0x014A,
                  kCbResetContent = 0x014B, kCbSetCurSel = 0x014E, kCbFindStringExact = 0x0158;
// The old-style open dialog's control ids (edt1, stc1, pshHelp, chx1) and flags.
static const int kEdt1 = 1152, kStc1 = 1088, kPshHelp = 1038, kChx1 = 1040;
static const DWORD kOfnShowHelp = 0x10;
static const int kOfnStructSize = 76;

struct Control {
    bool checked;
    std::vector<std::string> items;
    int selection;
    std::deque<std::string> typed;
};

struct Dialog {
    HWND wnd;
    DLGPROC proc;
    std::string key;  // the template's name, upper-cased, "#n" for a number
    bool modal;
    bool ended;
    INT_PTR result;
    size_t record;
    // The open-file dialog.
    LPOPENFILENAMEA ofn;
    std::string folder;
};

static std::map<HWND, Control> g_controls;
static std::vector<std::unique_ptr<Dialog>> g_dialogs;
static std::map<std::string, std::deque<HostDialogStep>> g_scripts;
static std::vector<HostDialogRecord> g_records;
static std::vector<std::string> g_errors;
static std::map<std::string, HostDialogTemplate> g_templates;
static bool g_inIdle;

void HostResetDialogs()
{
    g_controls.clear();
    g_dialogs.clear();
    g_scripts.clear();
    g_records.clear();
    g_errors.clear();
    g_templates.clear();
    g_inIdle = false;
}

static std::string TemplateKey(LPCSTR name)
{
    if (!name) return "";
    if (IS_INTRESOURCE(name)) return "#" + std::to_string((unsigned)(uintptr_t)name);
    return HostUpper(name);
}

static std::string TemplateLabel(LPCSTR name)
{
    if (IS_INTRESOURCE(name)) return "#" + std::to_string((unsigned)(uintptr_t)name);
    return name;
}

static void Error(const std::string &what)
{
    g_errors.push_back(what);
    HostReportProblem("dialog " + what);
}

static Dialog *FindDialog(HWND wnd)
{
    for (auto &d : g_dialogs)
        if (d->wnd == wnd) return d.get();
    return nullptr;
}

static Control *FindControl(HWND wnd)
{
    auto it = g_controls.find(wnd);
    return it == g_controls.end() || !IsWindow(wnd) ? nullptr : &it->second;
}

static bool IsClass(HWND wnd, const char *cls) { return HostUpper(HostWindowClass(wnd)) == HostUpper(cls); }

static bool HasCheck(HWND wnd)
{
    DWORD type = HostWindowStyle(wnd) & kBsTypeMask;
    return IsClass(wnd, "Button") && (type == kBsCheckBox || type == kBsAutoCheckBox || type == kBsRadioButton ||
                                      type == kBs3State || type == kBsAuto3State || type == kBsAutoRadioButton);
}

static void Notify(HWND control, WORD code)
{
    HWND parent = GetParent(control);
    if (parent) SendMessageA(parent, WM_COMMAND, MAKELONG(HostWindowId(control), code), (LPARAM)control);
}

// ---- templates -------------------------------------------------------------------------

void HostSetDialogTemplate(const HostDialogTemplate &t) { g_templates[TemplateKey(t.name.c_str())] = t; }

static bool FindTemplate(LPCSTR name, HostDialogTemplate &out)
{
    std::string key = TemplateKey(name);
    auto it = g_templates.find(key);
    if (it != g_templates.end()) {
        out = it->second;
        return true;
    }
    for (unsigned i = 0; i < g_hostRcDialogCount; i++) {
        const HostRcDialog &d = g_hostRcDialogs[i];
        if (HostUpper(d.name) != key) continue;
        out = HostDialogTemplate{d.name, d.caption, d.style, d.x, d.y, d.cx, d.cy, {}};
        for (unsigned k = 0; k < d.controlCount; k++) {
            const HostRcControl &c = d.controls[k];
            out.controls.push_back(HostDialogControlTemplate{c.id, c.className, c.text, c.style, c.x, c.y, c.cx, c.cy});
        }
        return true;
    }
    return false;
}

// Dialog units to pixels with MS Sans Serif 8's base units, rounded as MulDiv.
static int Pixels(int units, int base, int div)
{
    long long v = (long long)units * base;
    return (int)(v >= 0 ? (v + div / 2) / div : -((-v + div / 2) / div));
}
static int PixelsX(int units) { return Pixels(units, 6, 4); }
static int PixelsY(int units) { return Pixels(units, 13, 8); }

// ---- controls ------------------------------------------------------------------------------

static int AddItem(HWND wnd, Control *c, const char *text, bool sorted, int at)
{
    std::string item = text ? text : "";
    int index = at >= 0 && at <= (int)c->items.size() ? at : (int)c->items.size();
    if (sorted) {
        index = 0;
        while (index < (int)c->items.size() && lstrcmpiA(c->items[index].c_str(), item.c_str()) <= 0) index++;
    }
    c->items.insert(c->items.begin() + index, item);
    (void)wnd;
    return index;
}

static int FindItem(Control *c, const char *text)
{
    for (size_t i = 0; i < c->items.size(); i++)
        if (lstrcmpiA(c->items[i].c_str(), text ? text : "") == 0) return (int)i;
    return -1;
}

static int CopyItem(Control *c, WPARAM index, LPARAM buffer)
{
    if (index >= c->items.size() || !buffer) return -1;
    strcpy((char *)buffer, c->items[index].c_str());  // Windows trusts the caller's buffer too
    return (int)c->items[index].size();
}

// A click on a button: auto check boxes toggle, an auto radio button is checked
// and the other auto radio buttons of its group (the controls from the last
// WS_GROUP up to the next) are cleared; then the dialog hears BN_CLICKED.
static void ButtonClicked(HWND wnd, Control *c)
{
    if (!IsWindowEnabled(wnd)) return;
    DWORD type = HostWindowStyle(wnd) & kBsTypeMask;
    if (type == kBsAutoCheckBox || type == kBsAuto3State) c->checked = !c->checked;
    if (type == kBsAutoRadioButton) {
        std::vector<HWND> siblings = HostChildWindows(GetParent(wnd));
        size_t at = 0;
        while (at < siblings.size() && siblings[at] != wnd) at++;
        size_t first = at, last = at + 1;
        while (first > 0 && !(HostWindowStyle(siblings[first]) & kWsGroup)) first--;
        while (last < siblings.size() && !(HostWindowStyle(siblings[last]) & kWsGroup)) last++;
        for (size_t k = first; k < last; k++) {
            Control *other = FindControl(siblings[k]);
            if (other && k != at && IsClass(siblings[k], "Button") &&
                (HostWindowStyle(siblings[k]) & kBsTypeMask) == kBsAutoRadioButton)
                other->checked = false;
        }
        c->checked = true;
    }
    if (type != kBsGroupBox) Notify(wnd, kBnClicked);
}

static LRESULT CALLBACK ControlProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Control *c = FindControl(wnd);
    if (!c) return DefWindowProcA(wnd, msg, wParam, lParam);
    bool list = IsClass(wnd, "ListBox"), combo = IsClass(wnd, "ComboBox");
    DWORD style = HostWindowStyle(wnd);
    switch (msg) {
    case kWmLButtonUp:
    case BM_CLICK:
        if (IsClass(wnd, "Button")) ButtonClicked(wnd, c);
        return 0;
    case BM_GETCHECK:
        return HasCheck(wnd) && c->checked ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
        if (HasCheck(wnd)) c->checked = wParam != BST_UNCHECKED;
        return 0;
    case kHostWmType:
        if (!c->typed.empty()) {
            std::string text = c->typed.front();
            c->typed.pop_front();
            if (IsWindowEnabled(wnd)) {
                SetWindowTextA(wnd, text.c_str());  // an edit control reports EN_CHANGE itself
                if (combo) Notify(wnd, kCbnEditChange);
            }
        }
        return 0;
    case kHostWmSelect:
        if (wParam < c->items.size() && IsWindowEnabled(wnd)) {
            c->selection = (int)wParam;
            if (combo) SetWindowTextA(wnd, c->items[wParam].c_str());
            if (combo || (style & kLbsNotify)) Notify(wnd, kSelChange);
        }
        return 0;
    default:
        break;
    }
    if (list || combo) {
        bool sorted = list ? (style & kLbsSort) != 0 : (style & kCbsSort) != 0;
        UINT m = msg;
        if (combo) {  // the combo box messages do what the list box ones do
            static const UINT pairs[][2] = {{kCbAddString, kLbAddString},     {kCbInsertString, kLbInsertString},
                                            {kCbDeleteString, kLbDeleteString}, {kCbResetContent, kLbResetContent},
                                            {kCbSetCurSel, kLbSetCurSel},       {kCbGetCurSel, kLbGetCurSel},
                                            {kCbGetLbText, kLbGetText},         {kCbGetLbTextLen, kLbGetTextLen},
                                            {kCbGetCount, kLbGetCount},         {kCbFindStringExact, kLbFindStringExact}};
            m = 0;
            for (auto &p : pairs)
                if (p[0] == msg) m = p[1];
        }
        switch (m) {
        case kLbAddString:
            return AddItem(wnd, c, (const char *)lParam, sorted, -1);
        case kLbInsertString:
            return AddItem(wnd, c, (const char *)lParam, false, (int)(intptr_t)wParam);
        case kLbDeleteString:
            if (wParam >= c->items.size()) return -1;
            c->items.erase(c->items.begin() + (long)wParam);
            return (LRESULT)c->items.size();
        case kLbResetContent:
            c->items.clear();
            c->selection = -1;
            return 0;
        case kLbSetCurSel:
            if ((intptr_t)wParam < 0 || wParam >= c->items.size()) {
                c->selection = -1;
                return -1;
            }
            c->selection = (int)wParam;
            if (combo) SetWindowTextA(wnd, c->items[wParam].c_str());
            return (LRESULT)wParam;
        case kLbGetCurSel:
            return c->selection;
        case kLbGetText:
            return CopyItem(c, wParam, lParam);
        case kLbGetTextLen:
            return wParam < c->items.size() ? (LRESULT)c->items[wParam].size() : -1;
        case kLbGetCount:
            return (LRESULT)c->items.size();
        case kLbFindStringExact:
            return FindItem(c, (const char *)lParam);
        default:
            break;
        }
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

// SetWindowTextA on a single-line edit control tells its dialog, as on Windows.
void HostControlTextChanged(HWND wnd)
{
    if (FindControl(wnd) && IsClass(wnd, "Edit")) Notify(wnd, kEnChange);
}

// ---- dialog windows ------------------------------------------------------------------------

static HostControl StateOf(HWND wnd)
{
    HostControl s;
    s.found = true;
    s.id = HostWindowId(wnd);
    s.className = HostWindowClass(wnd);
    s.style = HostWindowStyle(wnd);
    char text[4096];
    GetWindowTextA(wnd, text, sizeof text);
    s.text = text;
    Control *c = FindControl(wnd);
    s.checked = c && HasCheck(wnd) && c->checked;
    s.enabled = IsWindowEnabled(wnd) != 0;
    s.visible = HostWindowShown(wnd);
    s.items = c ? c->items : std::vector<std::string>();
    s.selection = c ? c->selection : -1;
    return s;
}

static std::vector<HostControl> Snapshot(HWND dialog)
{
    std::vector<HostControl> out;
    for (HWND child : HostChildWindows(dialog))
        if (FindControl(child)) out.push_back(StateOf(child));
    return out;
}

HostControl HostControlState(HWND dialog, int id)
{
    for (HWND child : HostChildWindows(dialog))
        if (FindControl(child) && HostWindowId(child) == id) return StateOf(child);
    HostControl none = HostControl();
    none.found = false;
    none.id = id;
    none.selection = -1;
    return none;
}

const HostControl *HostFindControl(const std::vector<HostControl> &snapshot, int id)
{
    for (auto &c : snapshot)
        if (c.id == id) return &c;
    return nullptr;
}

// The dialog manager's window procedure: the dialog procedure first; what it
// leaves goes to the defaults (the close box becomes the Cancel command).
static LRESULT CALLBACK DialogWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Dialog *d = FindDialog(wnd);
    if (d && msg == WM_DESTROY) {
        g_records[d->record].destroyed = true;
        d->ended = true;
    }
    if (d && d->proc) {
        INT_PTR handled = d->proc(wnd, msg, wParam, lParam);
        if (handled) return handled;
    }
    switch (msg) {
    case kWmSysCommand:
        if ((wParam & 0xFFF0) == kScClose) SendMessageA(wnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE: {
        HWND cancel = nullptr;
        for (HWND child : HostChildWindows(wnd))
            if (HostWindowId(child) == IDCANCEL) cancel = child;
        if (cancel && !IsWindowEnabled(cancel)) return 0;
        PostMessageA(wnd, WM_COMMAND, MAKELONG(IDCANCEL, kBnClicked), (LPARAM)cancel);
        return 0;
    }
    case WM_PAINT:
        return DefWindowProcA(wnd, msg, wParam, lParam);
    default:
        return 0;
    }
}

// Makes the dialog and its controls from a template and sends WM_INITDIALOG;
// the window is still hidden. Null when the template cannot be found.
static Dialog *MakeDialog(LPCSTR name, HWND owner, DLGPROC proc, LPARAM param, bool modal, LPOPENFILENAMEA ofn,
                          const std::string &folder, const char *caption)
{
    HostDialogTemplate t;
    if (!FindTemplate(name, t)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    POINT origin{0, 0};
    if (owner && !(t.style & kDsAbsAlign)) HostClientOrigin(owner, origin);
    RECT rect{origin.x + PixelsX(t.x), origin.y + PixelsY(t.y), 0, 0};
    rect.right = rect.left + PixelsX(t.cx);
    rect.bottom = rect.top + PixelsY(t.cy);
    HostFrameRect(t.style, rect);
    if (t.style & DS_CENTER) {
        int w = rect.right - rect.left, h = rect.bottom - rect.top;
        rect.left = (HostState().desktopWidth - w) / 2;
        rect.top = (HostState().desktopHeight - h) / 2;
        rect.right = rect.left + w;
        rect.bottom = rect.top + h;
    }
    HWND wnd = HostCreateBuiltinWindow("#32770", caption ? caption : t.caption.c_str(), t.style, rect,
                                       DialogWindowProc, owner, 0);
    auto d = std::make_unique<Dialog>();
    d->wnd = wnd;
    d->proc = nullptr;  // the dialog procedure sees nothing before WM_INITDIALOG's controls exist
    d->key = TemplateKey(name);
    d->modal = modal;
    d->ended = false;
    d->result = 0;
    d->ofn = ofn;
    d->folder = folder;
    HostDialogRecord r;
    r.templateName = TemplateLabel(name);
    r.wnd = wnd;
    r.owner = owner;
    r.caption = caption ? caption : t.caption;
    r.modal = modal;
    r.rect = rect;
    r.ended = false;
    r.result = 0;
    r.destroyed = false;
    g_records.push_back(r);
    d->record = g_records.size() - 1;
    Dialog *dp = d.get();
    g_dialogs.push_back(std::move(d));
    HWND firstTab = nullptr;
    for (auto &k : t.controls) {
        RECT kr{PixelsX(k.x), PixelsY(k.y), PixelsX(k.x) + PixelsX(k.cx), PixelsY(k.y) + PixelsY(k.cy)};
        HWND child = HostCreateBuiltinWindow(k.className.c_str(), k.text.c_str(), k.style | WS_CHILD, kr, ControlProc,
                                             wnd, k.id);
        g_controls[child] = Control{false, {}, -1, {}};
        if (!firstTab && (k.style & kWsTabStop) && (k.style & WS_VISIBLE) && !(k.style & WS_DISABLED)) firstTab = child;
    }
    dp->proc = proc;
    // The procedure's answer only chooses the focus, which the host does not model.
    SendMessageA(wnd, WM_INITDIALOG, (WPARAM)firstTab, param);
    if (IsWindow(wnd)) {
        HostDialogRecord &rec = g_records[dp->record];
        GetWindowRect(wnd, &rec.rect);
        rec.shown = Snapshot(wnd);
    }
    return dp;
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    Dialog *d = FindDialog(dialog);
    if (!d || !IsWindow(dialog)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    d->ended = true;
    d->result = result;
    g_records[d->record].ended = true;
    g_records[d->record].result = result;
    ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

// ---- the scripted user ---------------------------------------------------------------------

static HostDialogStep Step(HostDialogStep::Kind kind, int id, const std::string &text = "", int count = 0)
{
    HostDialogStep s;
    s.kind = kind;
    s.id = id;
    s.text = text;
    s.count = count;
    return s;
}
HostDialogStep HostClick(int id) { return Step(HostDialogStep::Click, id); }
HostDialogStep HostCheck(int id) { return Step(HostDialogStep::Check, id); }
HostDialogStep HostUncheck(int id) { return Step(HostDialogStep::Uncheck, id); }
HostDialogStep HostType(int id, const char *text) { return Step(HostDialogStep::Type, id, text ? text : ""); }
HostDialogStep HostSelect(int id, const char *item) { return Step(HostDialogStep::Select, id, item ? item : ""); }
HostDialogStep HostPressEsc() { return Step(HostDialogStep::Esc, 0); }
HostDialogStep HostPressEnter() { return Step(HostDialogStep::Enter, 0); }
HostDialogStep HostCloseBox() { return Step(HostDialogStep::Close, 0); }
static const DWORD kOfnNoChangeDir = 0x00000008;

HostDialogStep HostPick(const char *folder) { return Step(HostDialogStep::Pick, IDOK, folder ? folder : ""); }
HostDialogStep HostCancelPicker() { return Step(HostDialogStep::CancelPicker, IDCANCEL); }
HostDialogStep HostWaitIdle(int moments) { return Step(HostDialogStep::WaitIdle, 0, "", moments); }
HostDialogStep HostCall(std::function<void(HWND dialog)> fn)
{
    HostDialogStep s = Step(HostDialogStep::Call, 0);
    s.call = std::move(fn);
    return s;
}

void HostDialogScript(const char *templateName, std::vector<HostDialogStep> steps)
{
    auto &q = g_scripts[TemplateKey(templateName)];
    for (auto &s : steps) q.push_back(std::move(s));
}

int HostDialogStepsLeft(const char *templateName)
{
    auto it = g_scripts.find(TemplateKey(templateName));
    return it == g_scripts.end() ? 0 : (int)it->second.size();
}

const std::vector<HostDialogRecord> &HostDialogsShown() { return g_records; }
const std::vector<std::string> &HostDialogErrors() { return g_errors; }

HWND HostOpenDialog(const char *templateName)
{
    std::string key = TemplateKey(templateName);
    for (auto it = g_dialogs.rbegin(); it != g_dialogs.rend(); ++it)
        if ((*it)->key == key && IsWindow((*it)->wnd)) return (*it)->wnd;
    return nullptr;
}

static std::string Describe(const HostDialogStep &s)
{
    static const char *names[] = {"click", "check", "uncheck", "type",   "select",   "esc",
                                  "enter", "close", "pick",    "cancel", "wait", "call"};
    std::string out = names[s.kind];
    if (s.kind <= HostDialogStep::Select) out += " " + std::to_string(s.id);
    if (!s.text.empty()) out += " " + s.text;
    return out;
}

static bool FolderExists(const std::string &winPath)
{
    std::string real;
    struct stat st;
    return HostResolvePath(winPath.c_str(), real) && stat(real.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

static std::string Lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return s;
}

// The user takes one step in a dialog. Input is posted, as Windows delivers it.
static void Act(Dialog *d, const HostDialogStep &s)
{
    if (s.kind == HostDialogStep::WaitIdle) return;
    HostDialogAction a;
    a.step = Describe(s);
    a.before = Snapshot(d->wnd);
    a.ignored = false;
    std::string where = g_records[d->record].templateName + ": " + a.step + ": ";
    HWND control = nullptr;
    if (s.kind <= HostDialogStep::Select) {
        for (HWND child : HostChildWindows(d->wnd))
            if (FindControl(child) && HostWindowId(child) == s.id) control = child;
        if (!control) {
            Error(where + "the dialog has no such control");
            a.ignored = true;
            g_records[d->record].actions.push_back(a);
            return;
        }
    }
    // A disabled or hidden control, or a disabled dialog (one that owns a modal
    // dialog), takes no mouse or keyboard input.
    bool usable = IsWindowEnabled(d->wnd) && (!control || (IsWindowEnabled(control) && HostWindowShown(control)));
    switch (s.kind) {
    case HostDialogStep::Click:
        if (usable) PostMessageA(control, kWmLButtonUp, 0, 0);
        break;
    case HostDialogStep::Check:
    case HostDialogStep::Uncheck: {
        if (!HasCheck(control)) {
            Error(where + "not a check box or radio button");
            a.ignored = true;
            break;
        }
        bool want = s.kind == HostDialogStep::Check;
        if (!want && (HostWindowStyle(control) & kBsTypeMask) == kBsAutoRadioButton) {
            Error(where + "a radio button is cleared by checking another one");
            a.ignored = true;
            break;
        }
        if ((SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED) != want && usable)
            PostMessageA(control, kWmLButtonUp, 0, 0);
        break;
    }
    case HostDialogStep::Type:
        if (!IsClass(control, "Edit") && !IsClass(control, "ComboBox")) {
            Error(where + "not an edit field");
            a.ignored = true;
        } else if (usable) {
            FindControl(control)->typed.push_back(s.text);
            PostMessageA(control, kHostWmType, 0, 0);
        }
        break;
    case HostDialogStep::Select: {
        int index = FindItem(FindControl(control), s.text.c_str());
        if (index < 0) {
            Error(where + "no such item");
            a.ignored = true;
        } else if (usable) {
            PostMessageA(control, kHostWmSelect, (WPARAM)index, 0);
        }
        break;
    }
    case HostDialogStep::Esc:
        if (usable) PostMessageA(d->wnd, WM_KEYDOWN, kVkEscape, 0);
        break;
    case HostDialogStep::Enter:
        if (usable) PostMessageA(d->wnd, WM_KEYDOWN, kVkReturn, 0);
        break;
    case HostDialogStep::Close:
        if (!(HostWindowStyle(d->wnd) & WS_SYSMENU)) {
            Error(where + "the dialog has no close box");
            a.ignored = true;
        } else if (usable) {
            PostMessageA(d->wnd, kWmSysCommand, kScClose, 0);
        }
        break;
    case HostDialogStep::Pick:
    case HostDialogStep::CancelPicker: {
        if (!d->ofn) {
            Error(where + "not an open-file dialog");
            a.ignored = true;
            break;
        }
        if (s.kind == HostDialogStep::Pick) {
            std::string folder;
            if (!HostAbsolutePath(s.text.c_str(), folder) || !FolderExists(folder)) {
                Error(where + "no such folder");
                a.ignored = true;
                break;
            }
            d->folder = folder;
            SetDlgItemTextA(d->wnd, kStc1, Lower(folder).c_str());
            // Going into a folder makes it the process's current folder, as the
            // old-style dialog does without OFN_NOCHANGEDIR.
            if (!(d->ofn->Flags & kOfnNoChangeDir)) SetCurrentDirectoryA(folder.c_str());
        }
        HWND button = GetDlgItem(d->wnd, s.id);
        if (button)
            PostMessageA(button, kWmLButtonUp, 0, 0);
        else
            PostMessageA(d->wnd, WM_COMMAND, MAKELONG(s.id, kBnClicked), 0);
        break;
    }
    case HostDialogStep::Call:
        if (s.call) s.call(d->wnd);
        break;
    case HostDialogStep::WaitIdle:
        break;
    }
    if (!usable && !a.ignored && s.kind != HostDialogStep::Call) a.ignored = true;
    g_records[d->record].actions.push_back(a);
}

// The program looks for messages and finds none: the user acts in the open
// modeless dialogs whose scripts have steps due.
void HostDialogsIdle()
{
    if (g_inIdle) return;
    g_inIdle = true;
    for (size_t i = 0; i < g_dialogs.size(); i++) {
        Dialog *d = g_dialogs[i].get();
        if (d->modal || d->ended || !IsWindow(d->wnd)) continue;
        auto it = g_scripts.find(d->key);
        if (it == g_scripts.end()) continue;
        bool acted = false;
        while (!it->second.empty()) {
            HostDialogStep &front = it->second.front();
            if (front.kind == HostDialogStep::WaitIdle) {
                if (acted || --front.count > 0) break;
                it->second.pop_front();
                continue;
            }
            HostDialogStep step = front;
            it->second.pop_front();
            Act(d, step);
            acted = true;
            if (d->ended || !IsWindow(d->wnd)) break;
        }
    }
    g_inIdle = false;
}

// The modal loop: the waiting messages first, then the user's next step.
static INT_PTR RunModal(Dialog *d)
{
    long spins = 0;
    while (!d->ended && IsWindow(d->wnd)) {
        MSG msg;
        if (HostNextMessage(&msg, true)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage((int)msg.wParam);
                Error(g_records[d->record].templateName + ": the quit message came while the dialog was up");
                EndDialog(d->wnd, IDCANCEL);
                break;
            }
            if (!IsDialogMessageA(d->wnd, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (++spins > 100000) {
                Error(g_records[d->record].templateName + ": messages never stop coming; ending it with IDCANCEL");
                EndDialog(d->wnd, IDCANCEL);
            }
            continue;
        }
        spins = 0;
        auto &q = g_scripts[d->key];
        while (!q.empty() && q.front().kind == HostDialogStep::WaitIdle) q.pop_front();
        if (q.empty()) {
            Error(g_records[d->record].templateName +
                  ": the dialog is still up and the scripted user has nothing more to do; ending it with IDCANCEL");
            EndDialog(d->wnd, IDCANCEL);
            break;
        }
        HostDialogStep step = q.front();
        q.pop_front();
        Act(d, step);
    }
    return d->result;
}

// Runs a made dialog modally: the owner is disabled while it is up.
static INT_PTR Modal(Dialog *d, HWND owner)
{
    bool disabledOwner = owner && owner != GetDesktopWindow() && IsWindowEnabled(owner);
    if (disabledOwner) EnableWindow(owner, FALSE);
    if (IsWindow(d->wnd) && !d->ended) ShowWindow(d->wnd, SW_SHOW);
    INT_PTR result = RunModal(d);
    if (disabledOwner) EnableWindow(owner, TRUE);
    if (IsWindow(d->wnd)) DestroyWindow(d->wnd);
    return result;
}

// ---- the dialog functions ----------------------------------------------------------------

HWND CreateDialogParamA(HINSTANCE, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param)
{
    if (HostFault("CreateDialogParamA")) return nullptr;
    Dialog *d = MakeDialog(templateName, owner, proc, param, false, nullptr, "", nullptr);
    if (!d) return nullptr;
    if (IsWindow(d->wnd) && (HostWindowStyle(d->wnd) & WS_VISIBLE) && !d->ended) ShowWindow(d->wnd, SW_SHOW);
    return IsWindow(d->wnd) ? d->wnd : nullptr;
}

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param)
{
    if (HostFault("DialogBoxParamA")) return -1;
    Dialog *d = MakeDialog(templateName, owner, proc, param, true, nullptr, "", nullptr);
    if (!d) return -1;
    return Modal(d, owner);
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check)
{
    bool any = false;
    for (HWND child : HostChildWindows(dialog)) {
        int id = HostWindowId(child);
        if (id < first || id > last) continue;
        SendMessageA(child, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
        any = true;
    }
    return any;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control) return FALSE;
    SendMessageA(control, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control ? (UINT)SendMessageA(control, BM_GETCHECK, 0, 0) : 0;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    HWND control = GetDlgItem(dialog, id);
    return control ? SetWindowTextA(control, text) : FALSE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control) {
        if (buffer && size > 0) buffer[0] = 0;
        return 0;
    }
    return (UINT)GetWindowTextA(control, buffer, size);
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam)
{
    HWND control = GetDlgItem(dialog, id);
    return control ? SendMessageA(control, msg, wParam, lParam) : 0;
}

// ---- the old-style open-file dialog --------------------------------------------------------

// The layout the platform uses without a template of the program's: the ids its
// own code looks for.
static const char *const kOpenFileTemplate = "GetOpenFileName";
static void AddOpenFileTemplate()
{
    const DWORD child = WS_CHILD | WS_VISIBLE;
    HostDialogTemplate t{kOpenFileTemplate, "Open", WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                         0, 0, 280, 134, {}};
    t.controls = {{1090, "Static", "File &name:", child, 6, 6, 76, 9},
                  {kEdt1, "Edit", "", child | kWsTabStop | WS_BORDER | ES_AUTOHSCROLL, 6, 16, 90, 12},
                  {1120, "ListBox", "", child | kWsTabStop | WS_BORDER | kLbsSort, 6, 32, 90, 68},
                  {-1, "Static", "&Folders:", child, 110, 6, 96, 9},
                  {kStc1, "Static", "", child, 110, 18, 96, 9},
                  {1121, "ListBox", "", child | kWsTabStop | WS_BORDER | kLbsSort, 110, 32, 92, 68},
                  {1089, "Static", "List files of &type:", child, 6, 104, 90, 9},
                  {1136, "ComboBox", "", child | kWsTabStop | 3, 6, 114, 90, 36},
                  {1091, "Static", "Dri&ves:", child, 110, 104, 92, 9},
                  {1137, "ComboBox", "", child | kWsTabStop | 3 | kCbsSort, 110, 114, 92, 68},
                  {IDOK, "Button", "OK", child | kWsTabStop | 1, 208, 6, 50, 14},
                  {IDCANCEL, "Button", "Cancel", child | kWsTabStop, 208, 24, 50, 14},
                  {kPshHelp, "Button", "&Help", child | kWsTabStop, 208, 46, 50, 14},
                  {kChx1, "Button", "&Read only", child | kWsTabStop | kBsAutoCheckBox, 208, 68, 50, 12}};
    g_templates[TemplateKey(kOpenFileTemplate)] = t;
}

// OK: the path is the current folder joined with the file name field.
static void AcceptOpenFile(Dialog *d)
{
    LPOPENFILENAMEA ofn = d->ofn;
    char name[MAX_PATH];
    GetDlgItemTextA(d->wnd, kEdt1, name, sizeof name);
    if (!name[0]) return;  // nothing to open: the dialog stays
    std::string path = d->folder;
    if (path.empty() || path.back() != '\\') path += "\\";
    path += name;
    if (path.size() + 1 > ofn->nMaxFile) {
        Error(g_records[d->record].templateName + ": the path " + path + " does not fit the file buffer");
        EndDialog(d->wnd, 0);
        return;
    }
    memcpy(ofn->lpstrFile, path.c_str(), path.size() + 1);
    size_t slash = path.rfind('\\'), dot = path.rfind('.');
    ofn->nFileOffset = (WORD)(slash + 1);
    ofn->nFileExtension = (WORD)(dot != std::string::npos && dot > slash ? dot + 1 : path.size());
    if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0) lstrcpynA(ofn->lpstrFileTitle, name, (int)ofn->nMaxFileTitle);
    EndDialog(d->wnd, 1);
}

// The platform's own procedure: the hook sees every message first; what the
// hook leaves (returns FALSE for) the dialog handles itself.
static INT_PTR CALLBACK OpenFileProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Dialog *d = FindDialog(wnd);
    if (!d || !d->ofn) return FALSE;
    LPOPENFILENAMEA ofn = d->ofn;
    LPOFNHOOKPROC hook = (ofn->Flags & OFN_ENABLEHOOK) ? ofn->lpfnHook : nullptr;
    if (msg == WM_INITDIALOG) {
        const char *file = ofn->lpstrFile;
        const char *slash = strrchr(file, '\\');
        SetDlgItemTextA(wnd, kEdt1, slash ? slash + 1 : file);
        SetDlgItemTextA(wnd, kStc1, Lower(d->folder).c_str());
        if (HWND help = GetDlgItem(wnd, kPshHelp))
            if (!(ofn->Flags & kOfnShowHelp)) ShowWindow(help, SW_HIDE);
        if (HWND readOnly = GetDlgItem(wnd, kChx1))
            if (ofn->Flags & OFN_HIDEREADONLY) ShowWindow(readOnly, SW_HIDE);
        if (hook) hook(wnd, WM_INITDIALOG, wParam, (LPARAM)ofn);
        return TRUE;
    }
    if (hook && hook(wnd, msg, wParam, lParam)) return TRUE;
    if (msg == WM_COMMAND && LOWORD(wParam) == IDOK) {
        AcceptOpenFile(d);
        return TRUE;
    }
    if (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(wnd, 0);
        return TRUE;
    }
    return FALSE;
}

BOOL GetOpenFileNameA(LPOPENFILENAMEA ofn)
{
    if (HostFault("GetOpenFileNameA")) return FALSE;
    if (!ofn || ofn->lStructSize != (DWORD)kOfnStructSize) {
        // The program is built for 32-bit Windows, where the structure without
        // the Windows 2000 fields has 76 bytes; anything else is refused there.
        Error("GetOpenFileNameA: structure size " + std::to_string(ofn ? ofn->lStructSize : 0) + ", not 76");
        return FALSE;
    }
    if (!ofn->lpstrFile || ofn->nMaxFile == 0) return FALSE;
    LPCSTR name = kOpenFileTemplate;
    if (ofn->Flags & OFN_ENABLETEMPLATE) {
        name = ofn->lpTemplateName;
        HostDialogTemplate t;
        if (!name || !FindTemplate(name, t)) {
            Error("GetOpenFileNameA: no dialog template " + (name ? TemplateLabel(name) : std::string("(null)")));
            return FALSE;
        }
    } else if (!g_templates.count(TemplateKey(kOpenFileTemplate))) {
        AddOpenFileTemplate();
    }
    // The dialog starts in the initial folder when it exists, else in the
    // current directory.
    std::string folder;
    if (!ofn->lpstrInitialDir || !ofn->lpstrInitialDir[0] || !HostAbsolutePath(ofn->lpstrInitialDir, folder) ||
        !FolderExists(folder))
        folder = HostState().cwd;
    const char *caption = ofn->lpstrTitle && ofn->lpstrTitle[0] ? ofn->lpstrTitle : nullptr;
    Dialog *d = MakeDialog(name, ofn->hwndOwner, OpenFileProc, (LPARAM)ofn, true, ofn, folder, caption);
    if (!d) return FALSE;
    return Modal(d, ofn->hwndOwner) != 0;
}
