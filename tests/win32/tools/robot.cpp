// robot: a small Win32 test robot that finds windows, reports on them and works
// their controls as a user would.
//
// Single commands (one process each):
//   robot wait-window TITLE [SECONDS]   waits until a visible top-level window
//       with this title exists and has painted; prints "client X Y W H" (the
//       client area in screen coordinates) and "window X Y W H"; exit 0, or 1
//       on time-out.
//   robot gone TITLE [SECONDS]          waits until no such window exists.
//   robot never-shown TITLE SECONDS STOPFILE   prints "watching" once it
//       watches, then watches until the file STOPFILE appears: exit 1 as soon
//       as a visible window with this title appears, 0 when none did before
//       the stop file, 3 when SECONDS passed without the stop file.
//   robot never-shown-by IMAGE SECONDS STOPFILE   the same watch for every
//       window of a program rather than one title: prints "watching" once
//       it watches, then, until STOPFILE appears, a line "SHOWN pid=N
//       image=NAME class=CLASS title=\"TEXT\"" for each top-level window that
//       becomes visible in a process whose file is named IMAGE (any folder,
//       any case: a program and its copies) or that is a dialog or message
//       box ("#32770") of any process, and "OTHER ..." for any other new
//       visible top-level window (the shell's, say), for the record. Windows
//       visible when the watch starts are not reported; the windows are
//       looked at every few milliseconds, so one shown for less than that
//       can pass unseen. Exit 0 when no window was SHOWN before the stop
//       file, 1 when one was, 3 when SECONDS passed without the stop file.
//
// Scripts (one process for a whole dialogue, since a Wine start costs seconds):
//   robot script FILE                   runs the commands of FILE, one a line
//   robot do CMD ARGS [; CMD ARGS]...   runs the commands given as arguments
// A line is words separated by blanks; "double quotes" keep blanks in a word.
// Inside quotes \n \r \t \" and \\ are escapes; any other backslash is itself,
// so "C:\Program Files" needs no doubling. Lines starting with # are comments.
//
// The commands work on the current dialog, which wait-dialog chooses:
//   wait-dialog CAPTION SECONDS [ID|!ID]...  waits for a visible "#32770" window
//       with this caption that has every ID and none of the !IDs among its
//       controls (ids are decimal or 0x hex; 0xFFFF is a message box's text),
//       then lets it paint; with the word "quick" it returns at once
//   label TEXT            names the EXPECT lines from here to the next dialog
//       but one (wait-dialog names them by the caption when no label came first)
//   expect-control ID [checked|unchecked|indeterminate] [enabled|disabled]
//       [visible|hidden] [nocase] [TEXT]     TEXT ending in * matches a prefix
//   expect-caption TEXT   expect-centred    expect-exists ID    expect-missing ID
//   expect-fits [ID]...   each control's text fits its control when drawn in
//       the dialogs' font, and the control lies inside the dialog's client area
//       (all visible statics and buttons when no ID is given)
//   wait-text ID SECONDS [nocase] TEXT   waits until the control shows TEXT
//   wait-state ID SECONDS visible|hidden|enabled|disabled   waits until the
//       control is in that state (read without messages, so a busy dialog
//       can be watched)
//   wait-gone [SECONDS]   waits until the current dialog is destroyed or hidden
//   click ID              WM_COMMAND (ID, BN_CLICKED) posted to the dialog
//   press ID              BM_CLICK posted to the control (toggles auto boxes)
//   check ID / uncheck ID presses the box when needed, waits for the state
//   settext ID TEXT       WM_SETTEXT to the control
//   key esc|enter|tab     a key press posted to the dialog's focus window
//   esc                   the same as key esc
//   select ID TEXT        list box: selects the item TEXT and sends the
//       dialog LBN_SELCHANGE then LBN_DBLCLK, as a double-click does
//   expect-items ID TEXT  combo box: its list holds exactly these items, in
//       this order, TEXT being the items joined by "|" ("" for none)
//   pick ID TEXT          combo box: selects the item TEXT (into the edit field
//       of a drop-down) and sends the dialog CBN_SELCHANGE, as a pick does
//   dump                  prints every control: id, class, text, state, place
//   message-box-text      prints the message text (control 0xFFFF) as TEXT ...
//   answer-box ID         presses button ID of the current message box
//   shot NAME             prints "SHOT NAME" and waits (60 s) until the file
//       NAME.shot appears in the current folder, then deletes it
//   freeze / thaw         suspends / resumes the current dialog's thread, so a
//       busy window can be photographed before it goes, or input given to it
//       arrives while it is surely still at work
//   close-window TITLE    WM_CLOSE posted to the top-level window of that title
//   run LINE              starts a program with CreateProcessA and exactly this
//       command line, as the shell starts an Add/Remove Programs entry's
//       command (no quoting added, no waiting); prints "PID N", its process id
//   wait-exit SECONDS     waits until the program "run" started has ended and
//       prints "EXIT code"
//   echo TEXT             prints TEXT
//
// Output, flushed per line: "> command" for each command run; "EXPECT ok LABEL:
// what" or "EXPECT FAIL LABEL: what (got ...)" for each check; "DIALOG ...",
// "CTRL ...", "TEXT ...", "SHOT ..." as above; "ERROR ..." when a command
// cannot go on (a time-out, no dialog), which ends the script.
// Exit status: 0 the script ran to its end (look for EXPECT FAIL), 1 it was
// stopped by an ERROR, 2 usage.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <tlhelp32.h>

#include <map>
#include <set>
#include <string>
#include <vector>

static HWND FindVisible(const char *title)
{
    HWND wnd = FindWindowA(NULL, title);
    return (wnd && IsWindowVisible(wnd)) ? wnd : NULL;
}

static const DWORD kPaintTimeout = 10000;  // a window that has not painted by then never will

static int HasUpdate(HWND wnd) { return GetUpdateRect(wnd, NULL, FALSE); }

static BOOL CALLBACK ChildHasUpdate(HWND child, LPARAM found)
{
    if (IsWindowVisible(child) && HasUpdate(child)) {
        *(int *)found = 1;
        return FALSE;
    }
    return TRUE;
}

// Waits until the window's thread has handled what was sent to it before and
// the window and its children have nothing left to paint, then until the
// thread has been back to its message loop (where the system puts what was
// painted on the screen). Returns 0 when the window did not answer in time.
static int WaitPainted(HWND wnd, DWORD sendTimeout)
{
    DWORD_PTR ignored;
    if (!SendMessageTimeoutA(wnd, WM_NULL, 0, 0, SMTO_NORMAL, sendTimeout, &ignored)) return 0;
    DWORD limit = GetTickCount() + kPaintTimeout;
    for (;;) {
        int pending = HasUpdate(wnd);
        if (!pending) EnumChildWindows(wnd, ChildHasUpdate, (LPARAM)&pending);
        if (!pending || (LONG)(GetTickCount() - limit) >= 0) break;
        Sleep(20);
    }
    return SendMessageTimeoutA(wnd, WM_NULL, 0, 0, SMTO_NORMAL, sendTimeout, &ignored) &&
           SendMessageTimeoutA(wnd, WM_NULL, 0, 0, SMTO_NORMAL, sendTimeout, &ignored);
}

// The single commands, one process each.
static int RunSingle(int argc, char **argv)
{
    int seconds = argc > 3 ? atoi(argv[3]) : 60;
    const char *title = argv[2];
    int never = strcmp(argv[1], "never-shown") == 0;
    const char *stop = argc > 4 ? argv[4] : NULL;
    if (never && !stop) {
        fprintf(stderr, "robot: never-shown needs SECONDS and a STOPFILE\n");
        return 2;
    }
    if (never) {
        printf("watching\n");
        fflush(stdout);
    }
    // Poll often: an unattended run may show a window only briefly.
    DWORD limit = GetTickCount() + (DWORD)seconds * 1000;
    for (;;) {
        HWND wnd = FindVisible(title);
        if (strcmp(argv[1], "wait-window") == 0 && wnd) {
            if (!WaitPainted(wnd, 10000)) {
                fprintf(stderr, "robot: \"%s\" does not answer\n", title);
                return 1;
            }
            RECT client, window;
            POINT origin = {0, 0};
            GetClientRect(wnd, &client);
            ClientToScreen(wnd, &origin);
            GetWindowRect(wnd, &window);
            printf("client %ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
            printf("window %ld %ld %ld %ld\n", window.left, window.top, window.right - window.left,
                   window.bottom - window.top);
            fflush(stdout);
            return 0;
        }
        if (strcmp(argv[1], "gone") == 0 && !FindWindowA(NULL, title)) return 0;
        if (never && wnd) {
            fprintf(stderr, "robot: \"%s\" was shown\n", title);
            return 1;
        }
        if (never && GetFileAttributesA(stop) != INVALID_FILE_ATTRIBUTES) return 0;
        if ((LONG)(GetTickCount() - limit) >= 0) break;
        Sleep(50);
    }
    if (never) {
        fprintf(stderr, "robot: stopped watching \"%s\" after %d s without the stop file\n", title, seconds);
        return 3;
    }
    fprintf(stderr, "robot: timed out on \"%s\"\n", title);
    return 1;
}

// ---- output ------------------------------------------------------------------------

static void Line(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    putchar('\n');
    fflush(stdout);
}

// Text shown on one line: CR, LF, tab and backslash written as escapes.
static std::string Escaped(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c == '"') out += "\\\"";
        else out += c;
    }
    return out;
}

// ---- the script's words ---------------------------------------------------------------

typedef std::vector<std::string> Words;

static Words SplitLine(const char *line)
{
    Words words;
    const char *p = line;
    for (;;) {
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') p++;
        if (!*p) break;
        std::string word;
        if (*p == '"') {
            p++;
            while (*p && *p != '"') {
                if (*p == '\\' && p[1] && strchr("nrt\"\\", p[1])) {
                    char c = p[1];
                    word += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
                    p += 2;
                } else {
                    word += *p++;
                }
            }
            if (*p == '"') p++;
        } else {
            while (*p && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') word += *p++;
        }
        words.push_back(word);
    }
    return words;
}

static int ParseId(const std::string &word)
{
    return (int)(strtol(word.c_str(), NULL, 0) & 0xFFFF);
}

// ---- windows ------------------------------------------------------------------------------

static const DWORD kSendTimeout = 10000;  // a busy installer answers at its next pump

static std::string ClassOf(HWND wnd)
{
    char name[128];
    name[0] = 0;
    GetClassNameA(wnd, name, sizeof name);
    return name;
}

static HANDLE g_frozenThread;  // the thread "freeze" suspended

// A window's text through WM_GETTEXT, which the system carries across processes.
// While the dialog's thread is frozen nobody answers messages: then the text
// is the window manager's copy, which statics and buttons keep up to date.
static std::string TextOf(HWND wnd)
{
    if (g_frozenThread) {
        char text[4096];
        text[0] = 0;
        GetWindowTextA(wnd, text, sizeof text);
        return text;
    }
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(wnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kSendTimeout, &length)) return "";
    std::vector<char> text(length + 2, 0);
    DWORD_PTR got = 0;
    SendMessageTimeoutA(wnd, WM_GETTEXT, (WPARAM)(length + 1), (LPARAM)text.data(), SMTO_NORMAL, kSendTimeout,
                        &got);
    return std::string(text.data());
}

static int IdOf(HWND wnd) { return GetDlgCtrlID(wnd) & 0xFFFF; }

struct ChildList {
    std::vector<HWND> children;
};

static BOOL CALLBACK CollectChild(HWND wnd, LPARAM param)
{
    ChildList *list = (ChildList *)param;
    if (GetParent(wnd) == GetAncestor(wnd, GA_PARENT)) list->children.push_back(wnd);
    return TRUE;
}

// The dialog's direct children in z-order (template order).
static std::vector<HWND> Children(HWND dialog)
{
    ChildList list;
    EnumChildWindows(dialog, CollectChild, (LPARAM)&list);
    std::vector<HWND> direct;
    for (HWND child : list.children)
        if (GetAncestor(child, GA_PARENT) == dialog) direct.push_back(child);
    return direct;
}

// The first control with this id (ids are compared in their low 16 bits, so a
// template's -1 and 0xFFFF are the same).
static HWND Control(HWND dialog, int id)
{
    for (HWND child : Children(dialog))
        if (IdOf(child) == id) return child;
    return NULL;
}

struct DialogQuery {
    std::string caption;
    std::vector<int> wanted, unwanted;
    HWND found;
};

static BOOL CALLBACK MatchDialog(HWND wnd, LPARAM param)
{
    DialogQuery *q = (DialogQuery *)param;
    if (!IsWindowVisible(wnd) || ClassOf(wnd) != "#32770") return TRUE;
    char caption[512];
    caption[0] = 0;
    GetWindowTextA(wnd, caption, sizeof caption);
    if (q->caption != caption) return TRUE;
    for (int id : q->wanted)
        if (!Control(wnd, id)) return TRUE;
    for (int id : q->unwanted)
        if (Control(wnd, id)) return TRUE;
    q->found = wnd;
    return FALSE;
}

// Waits until the dialog has painted. Returns 0 when it did not answer in time.
static int Settle(HWND dialog) { return WaitPainted(dialog, kSendTimeout); }

static int ButtonState(HWND control)
{
    DWORD_PTR state = 0;
    SendMessageTimeoutA(control, BM_GETCHECK, 0, 0, SMTO_NORMAL, kSendTimeout, &state);
    return (int)state;
}

static int IsTwoStateButton(HWND control)
{
    if (ClassOf(control) != "Button") return 0;
    LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
           type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE;
}

// ---- the script runner ---------------------------------------------------------------------

static HWND g_dialog;          // the current dialog
static HANDLE g_started;       // the process "run" started
static std::string g_label;    // names the EXPECT lines: the caption unless "label" gave one
static int g_labelGiven;       // "label" came after the last wait-dialog
static int g_stopped;          // an ERROR ended the script
static DWORD g_start;          // when the script started, for the times shown

static void Error(const char *format, const char *detail)
{
    printf("ERROR ");
    printf(format, detail);
    putchar('\n');
    fflush(stdout);
    g_stopped = 1;
}

static void Expect(int ok, const std::string &what, const std::string &got)
{
    if (ok)
        Line("EXPECT ok %s: %s", g_label.c_str(), what.c_str());
    else
        Line("EXPECT FAIL %s: %s (got %s)", g_label.c_str(), what.c_str(), got.c_str());
}

static int NeedDialog(void)
{
    if (g_dialog && IsWindow(g_dialog)) return 1;
    Error("%s", "no current dialog");
    return 0;
}

static HWND NeedControl(int id)
{
    HWND control = Control(g_dialog, id);
    if (!control) {
        char text[32];
        wsprintfA(text, "%d", id);
        Error("no control %s in the current dialog", text);
    }
    return control;
}

// Compares a shown text with the wanted one; a wanted text ending in * is a prefix.
static int TextMatches(const std::string &shown, const std::string &wanted, int nocase)
{
    std::string a = shown, b = wanted;
    int prefix = !b.empty() && b.back() == '*';
    if (prefix) b.pop_back();
    if (nocase) {
        CharLowerBuffA(&a[0], (DWORD)a.size());
        CharLowerBuffA(&b[0], (DWORD)b.size());
    }
    return prefix ? a.compare(0, b.size(), b) == 0 : a == b;
}

static void DumpControl(HWND control)
{
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(NULL, g_dialog, (POINT *)&r, 2);
    std::string state = "-";
    if (IsTwoStateButton(control)) {
        int s = ButtonState(control);
        state = s == BST_CHECKED ? "checked" : s == BST_INDETERMINATE ? "indeterminate" : "unchecked";
    }
    Line("CTRL id=%d class=%s text=\"%s\" %s %s %s rect=%ld,%ld,%ld,%ld", IdOf(control), ClassOf(control).c_str(),
         Escaped(TextOf(control)).c_str(), state.c_str(), IsWindowEnabled(control) ? "enabled" : "disabled",
         IsWindowVisible(control) ? "visible" : "hidden", r.left, r.top, r.right - r.left, r.bottom - r.top);
}

static void ReportDialog(HWND dialog)
{
    RECT w, c;
    POINT origin = {0, 0};
    GetWindowRect(dialog, &w);
    GetClientRect(dialog, &c);
    ClientToScreen(dialog, &origin);
    Line("DIALOG window %ld %ld %ld %ld client %ld %ld %ld %ld", w.left, w.top, w.right - w.left, w.bottom - w.top,
         origin.x, origin.y, c.right, c.bottom);
}

// Text without its "&" prefixes ("&&" is one "&"), as the control draws it.
static std::string WithoutPrefix(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '&' && i + 1 < text.size()) i++;
        out += text[i];
    }
    return out;
}

// Checks that a control's text fits it when drawn in the dialog font (the
// templates' "MS Sans Serif" 8 points), and that the control lies inside the
// dialog's client area.
static void CheckFits(HWND control)
{
    std::string text = TextOf(control);
    RECT r, client;
    GetWindowRect(control, &r);
    MapWindowPoints(NULL, g_dialog, (POINT *)&r, 2);
    GetClientRect(g_dialog, &client);
    int inside = r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom;
    char what[160], got[160];
    HDC screen = GetDC(NULL);
    HDC dc = CreateCompatibleDC(screen);
    int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    HFONT font = CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    HGDIOBJ old = SelectObject(dc, font);
    int width = r.right - r.left, tall = r.bottom - r.top;
    LONG style = GetWindowLongA(control, GWL_STYLE);
    std::string shown = WithoutPrefix(text);
    int needW = 0, needH = 0, room = width;
    if (ClassOf(control) == "Button") {
        if (IsTwoStateButton(control)) room = width - GetSystemMetrics(SM_CXMENUCHECK) - 4;
        else room = width - 4;  // the push button's edges
        SIZE size;
        GetTextExtentPoint32A(dc, shown.c_str(), (int)shown.size(), &size);
        needW = size.cx;
        needH = size.cy;
    } else {
        RECT calc = {0, 0, width, 0};
        UINT flags = DT_CALCRECT | DT_NOPREFIX;
        if ((style & SS_TYPEMASK) <= SS_RIGHT) flags |= DT_WORDBREAK;
        DrawTextA(dc, shown.c_str(), (int)shown.size(), &calc, flags);
        needW = calc.right;
        needH = calc.bottom;
    }
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    ReleaseDC(NULL, screen);
    wsprintfA(what, "control %d \"%s\" fits, inside the dialog", IdOf(control), Escaped(shown).substr(0, 60).c_str());
    wsprintfA(got, "text needs %d x %d, has %d x %d; control %ld,%ld-%ld,%ld in %ld x %ld", needW, needH, room, tall,
              r.left, r.top, r.right, r.bottom, client.right, client.bottom);
    Expect(inside && needW <= room && needH <= tall, what, got);
}

// Runs one command; sets g_stopped on an ERROR.
static void Run(const Words &w)
{
    if (w.empty() || w[0][0] == '#') return;
    std::string shown;
    for (const std::string &word : w) shown += (shown.empty() ? "" : " ") + word;
    Line("> %s  (%lu ms)", Escaped(shown).c_str(), (unsigned long)(GetTickCount() - g_start));
    const std::string &cmd = w[0];
    size_t n = w.size();

    if (cmd == "wait-dialog" && n >= 3) {
        DialogQuery q;
        q.caption = w[1];
        q.found = NULL;
        int quick = 0;
        for (size_t i = 3; i < n; i++) {
            if (w[i] == "quick") quick = 1;
            else if (w[i][0] == '!') q.unwanted.push_back(ParseId(w[i].substr(1)));
            else q.wanted.push_back(ParseId(w[i]));
        }
        DWORD limit = GetTickCount() + (DWORD)atoi(w[2].c_str()) * 1000;
        for (;;) {
            q.found = NULL;
            EnumWindows(MatchDialog, (LPARAM)&q);
            if (q.found || (LONG)(GetTickCount() - limit) >= 0) break;
            Sleep(50);
        }
        if (!q.found) {
            Error("timed out waiting for dialog \"%s\"", w[1].c_str());
            return;
        }
        g_dialog = q.found;
        if (!g_labelGiven) g_label = w[1];
        g_labelGiven = 0;
        if (!quick && !Settle(g_dialog) && !IsWindow(g_dialog)) return Error("dialog \"%s\" went away at once", w[1].c_str());
        ReportDialog(g_dialog);
    } else if (cmd == "label") {
        g_label = n > 1 ? w[1] : "";
        g_labelGiven = 1;
    } else if (cmd == "echo") {
        Line("%s", n > 1 ? w[1].c_str() : "");
    } else if (cmd == "wait-gone") {
        if (!g_dialog) return Error("%s", "no current dialog");
        DWORD limit = GetTickCount() + (DWORD)(n > 1 ? atoi(w[1].c_str()) : 30) * 1000;
        while (IsWindow(g_dialog) && IsWindowVisible(g_dialog)) {
            if ((LONG)(GetTickCount() - limit) >= 0) return Error("timed out waiting for \"%s\" to go", g_label.c_str());
            Sleep(50);
        }
        g_dialog = NULL;
    } else if (cmd == "wait-state" && n == 4) {
        if (!NeedDialog()) return;
        HWND control = NeedControl(ParseId(w[1]));
        if (!control) return;
        const std::string &want = w[3];
        DWORD limit = GetTickCount() + (DWORD)atoi(w[2].c_str()) * 1000;
        for (;;) {
            int visible = IsWindowVisible(control) != 0, enabled = IsWindowEnabled(control) != 0;
            if ((want == "visible" && visible) || (want == "hidden" && !visible) || (want == "enabled" && enabled) ||
                (want == "disabled" && !enabled))
                break;
            if (!IsWindow(control) || (LONG)(GetTickCount() - limit) >= 0)
                return Error("control never became %s", want.c_str());
            Sleep(20);
        }
    } else if (cmd == "dump") {
        if (!NeedDialog()) return;
        ReportDialog(g_dialog);
        for (HWND child : Children(g_dialog)) DumpControl(child);
    } else if (cmd == "expect-control" && n >= 3) {
        if (!NeedDialog()) return;
        int id = ParseId(w[1]);
        HWND control = Control(g_dialog, id);
        char what[64];
        wsprintfA(what, "control %d", id);
        if (!control) return Expect(0, std::string(what) + " exists", "none");
        int nocase = 0;
        for (size_t i = 2; i < n; i++)
            if (w[i] == "nocase") nocase = 1;
        for (size_t i = 2; i < n; i++) {
            const std::string &p = w[i];
            if (p == "nocase") continue;
            if (p == "checked" || p == "unchecked" || p == "indeterminate") {
                int s = ButtonState(control);
                const char *now = s == BST_CHECKED ? "checked" : s == BST_INDETERMINATE ? "indeterminate" : "unchecked";
                Expect(p == now, std::string(what) + " " + p, now);
            } else if (p == "enabled" || p == "disabled") {
                const char *now = IsWindowEnabled(control) ? "enabled" : "disabled";
                Expect(p == now, std::string(what) + " " + p, now);
            } else if (p == "visible" || p == "hidden") {
                const char *now = IsWindowVisible(control) ? "visible" : "hidden";
                Expect(p == now, std::string(what) + " " + p, now);
            } else {
                std::string text = TextOf(control);
                Expect(TextMatches(text, p, nocase), std::string(what) + " shows \"" + Escaped(p) + "\"",
                       "\"" + Escaped(text) + "\"");
            }
        }
    } else if (cmd == "expect-caption" && n == 2) {
        if (!NeedDialog()) return;
        char caption[512];
        caption[0] = 0;
        GetWindowTextA(g_dialog, caption, sizeof caption);
        Expect(w[1] == caption, "caption \"" + w[1] + "\"", std::string("\"") + caption + "\"");
    } else if (cmd == "expect-exists" || cmd == "expect-missing") {
        if (!NeedDialog() || n < 2) return;
        int want = cmd == "expect-exists";
        int present = Control(g_dialog, ParseId(w[1])) != NULL;
        Expect(present == want, "control " + w[1] + (want ? " exists" : " is missing"), present ? "present" : "missing");
    } else if (cmd == "expect-centred") {
        if (!NeedDialog()) return;
        RECT r, desktop;
        GetWindowRect(g_dialog, &r);
        GetWindowRect(GetDesktopWindow(), &desktop);
        int w0 = r.right - r.left, h0 = r.bottom - r.top;
        int x = (desktop.right - desktop.left) / 2 - w0 / 2, y = (desktop.bottom - desktop.top) / 2 - h0 / 2;
        char what[96], got[64];
        wsprintfA(what, "centred on the desktop at %d,%d", x < 0 ? 0 : x, y < 0 ? 0 : y);
        wsprintfA(got, "%ld,%ld size %d x %d", r.left, r.top, w0, h0);
        Expect(r.left == (x < 0 ? 0 : x) && r.top == (y < 0 ? 0 : y), what, got);
    } else if (cmd == "expect-fits") {
        if (!NeedDialog()) return;
        if (n > 1) {
            for (size_t i = 1; i < n; i++) {
                HWND control = NeedControl(ParseId(w[i]));
                if (!control) return;
                CheckFits(control);
            }
        } else {
            for (HWND child : Children(g_dialog)) {
                std::string cls = ClassOf(child);
                if (!IsWindowVisible(child) || (cls != "Static" && cls != "Button")) continue;
                RECT r;
                GetWindowRect(child, &r);
                MapWindowPoints(NULL, g_dialog, (POINT *)&r, 2);
                if (r.right <= 0 || r.bottom <= 0) continue;  // parked out of sight on purpose
                CheckFits(child);
            }
        }
    } else if (cmd == "wait-text" && n >= 4) {
        if (!NeedDialog()) return;
        HWND control = NeedControl(ParseId(w[1]));
        if (!control) return;
        int nocase = n >= 5 && w[3] == "nocase";
        const std::string &wanted = w[n - 1];
        DWORD limit = GetTickCount() + (DWORD)atoi(w[2].c_str()) * 1000;
        std::string text;
        for (;;) {
            text = TextOf(control);
            if (TextMatches(text, wanted, nocase)) break;
            if (!IsWindow(control)) return Error("the window went before showing \"%s\"", Escaped(wanted).c_str());
            if ((LONG)(GetTickCount() - limit) >= 0) {
                Error("timed out waiting for the text \"%s\"", Escaped(wanted).c_str());
                Line("TEXT %s", Escaped(text).c_str());
                return;
            }
            Sleep(50);
        }
    } else if ((cmd == "click" || cmd == "answer-box") && n == 2) {
        if (!NeedDialog()) return;
        int id = ParseId(w[1]);
        HWND control = Control(g_dialog, id);
        if (cmd == "answer-box" && !control) return (void)NeedControl(id);
        // Posted: the handler may open a modal dialog and not return for long.
        PostMessageA(g_dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)control);
    } else if (cmd == "press" && n == 2) {
        if (!NeedDialog()) return;
        HWND control = NeedControl(ParseId(w[1]));
        if (control) PostMessageA(control, BM_CLICK, 0, 0);
    } else if ((cmd == "check" || cmd == "uncheck") && n == 2) {
        if (!NeedDialog()) return;
        HWND control = NeedControl(ParseId(w[1]));
        if (!control) return;
        int wanted = cmd == "check" ? BST_CHECKED : BST_UNCHECKED;
        if (ButtonState(control) != wanted) PostMessageA(control, BM_CLICK, 0, 0);
        for (int i = 0; i < 100 && ButtonState(control) != wanted; i++) Sleep(50);
        if (ButtonState(control) != wanted) return Error("control %s did not change its state", w[1].c_str());
        Settle(g_dialog);
    } else if (cmd == "settext" && n == 3) {
        if (!NeedDialog()) return;
        HWND control = NeedControl(ParseId(w[1]));
        if (!control) return;
        DWORD_PTR ignored;
        if (!SendMessageTimeoutA(control, WM_SETTEXT, 0, (LPARAM)w[2].c_str(), SMTO_NORMAL, kSendTimeout, &ignored))
            return Error("control %s did not take its text", w[1].c_str());
    } else if (cmd == "key" || cmd == "esc") {
        if (!NeedDialog()) return;
        std::string name = cmd == "esc" ? "esc" : (n > 1 ? w[1] : "");
        WPARAM vk = name == "esc" ? VK_ESCAPE : name == "enter" ? VK_RETURN : name == "tab" ? VK_TAB : 0;
        if (!vk) return Error("unknown key \"%s\"", name.c_str());
        GUITHREADINFO info;
        info.cbSize = sizeof info;
        HWND target = g_dialog;
        if (GetGUIThreadInfo(GetWindowThreadProcessId(g_dialog, NULL), &info) && info.hwndFocus) target = info.hwndFocus;
        UINT scan = MapVirtualKeyA((UINT)vk, 0);
        PostMessageA(target, WM_KEYDOWN, vk, 1 | (scan << 16));
        PostMessageA(target, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000);
    } else if (cmd == "select" && n == 3) {
        if (!NeedDialog()) return;
        int id = ParseId(w[1]);
        HWND list = NeedControl(id);
        if (!list) return;
        DWORD_PTR index = (DWORD_PTR)LB_ERR;
        SendMessageTimeoutA(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)w[2].c_str(), SMTO_NORMAL, kSendTimeout,
                            &index);
        if ((LRESULT)index == LB_ERR) return Error("no list item \"%s\"", w[2].c_str());
        DWORD_PTR ignored;
        SendMessageTimeoutA(list, LB_SETCURSEL, index, 0, SMTO_NORMAL, kSendTimeout, &ignored);
        PostMessageA(g_dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), (LPARAM)list);
        PostMessageA(g_dialog, WM_COMMAND, MAKEWPARAM(id, LBN_DBLCLK), (LPARAM)list);
    } else if (cmd == "expect-items" && n == 3) {
        if (!NeedDialog()) return;
        HWND combo = NeedControl(ParseId(w[1]));
        if (!combo) return;
        DWORD_PTR count = 0;
        SendMessageTimeoutA(combo, CB_GETCOUNT, 0, 0, SMTO_NORMAL, kSendTimeout, &count);
        std::string items;
        for (DWORD_PTR i = 0; i < count && (LRESULT)count != CB_ERR; i++) {
            // Asked in ANSI across processes, Wine answers CB_GETLBTEXT with the
            // wide text (and overruns a buffer sized for the ANSI one): ask for
            // the wide text and convert it here.
            DWORD_PTR length = 0;
            SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, i, 0, SMTO_NORMAL, kSendTimeout, &length);
            std::vector<WCHAR> wide(length + 2, 0);
            DWORD_PTR ignored;
            SendMessageTimeoutW(combo, CB_GETLBTEXT, i, (LPARAM)wide.data(), SMTO_NORMAL, kSendTimeout, &ignored);
            std::vector<char> text(4 * length + 4, 0);
            WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text.data(), (int)text.size(), NULL, NULL);
            items += (i ? "|" : "") + std::string(text.data());
        }
        Expect(items == w[2], "control " + w[1] + " lists \"" + Escaped(w[2]) + "\"", "\"" + Escaped(items) + "\"");
    } else if (cmd == "pick" && n == 3) {
        if (!NeedDialog()) return;
        int id = ParseId(w[1]);
        HWND combo = NeedControl(id);
        if (!combo) return;
        DWORD_PTR index = (DWORD_PTR)CB_ERR;
        SendMessageTimeoutA(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)w[2].c_str(), SMTO_NORMAL, kSendTimeout,
                            &index);
        if ((LRESULT)index == CB_ERR) return Error("no combo box item \"%s\"", w[2].c_str());
        DWORD_PTR ignored;
        SendMessageTimeoutA(combo, CB_SETCURSEL, index, 0, SMTO_NORMAL, kSendTimeout, &ignored);
        PostMessageA(g_dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)combo);
        Settle(g_dialog);
    } else if (cmd == "message-box-text") {
        if (!NeedDialog()) return;
        HWND text = NeedControl(0xFFFF);
        if (text) Line("TEXT %s", Escaped(TextOf(text)).c_str());
    } else if (cmd == "shot" && n == 2) {
        if (g_dialog && IsWindow(g_dialog) && !g_frozenThread) Settle(g_dialog);
        std::string done = w[1] + ".shot";
        DeleteFileA(done.c_str());
        Line("SHOT %s", w[1].c_str());
        for (int i = 0; i < 1200; i++) {
            if (GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES) {
                DeleteFileA(done.c_str());
                return;
            }
            Sleep(50);
        }
        Error("nobody took the screenshot %s", w[1].c_str());
    } else if (cmd == "freeze") {
        if (!NeedDialog()) return;
        DWORD thread = GetWindowThreadProcessId(g_dialog, NULL);
        g_frozenThread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, thread);
        if (!g_frozenThread || SuspendThread(g_frozenThread) == (DWORD)-1) {
            g_frozenThread = NULL;
            return Error("%s", "cannot suspend the dialog's thread");
        }
    } else if (cmd == "close-window" && n == 2) {
        // The close box of a top-level window (the main window, say), as
        // WM_CLOSE posted to it.
        HWND wnd = FindWindowA(NULL, w[1].c_str());
        if (!wnd) return Error("no window \"%s\"", w[1].c_str());
        PostMessageA(wnd, WM_CLOSE, 0, 0);
    } else if (cmd == "run" && n == 2) {
        std::vector<char> line(w[1].begin(), w[1].end());
        line.push_back(0);
        STARTUPINFOA startup;
        PROCESS_INFORMATION process;
        ZeroMemory(&startup, sizeof startup);
        startup.cb = sizeof startup;
        if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
            return Error("cannot start %s", w[1].c_str());
        CloseHandle(process.hThread);
        if (g_started) CloseHandle(g_started);
        g_started = process.hProcess;
        Line("PID %lu", (unsigned long)process.dwProcessId);
    } else if (cmd == "wait-exit" && n == 2) {
        if (!g_started) return Error("%s", "no program was started");
        if (WaitForSingleObject(g_started, (DWORD)atoi(w[1].c_str()) * 1000) != WAIT_OBJECT_0)
            return Error("%s", "the started program did not end in time");
        DWORD code = 0;
        GetExitCodeProcess(g_started, &code);
        Line("EXIT %lu", (unsigned long)code);
    } else if (cmd == "thaw") {
        if (g_frozenThread) {
            ResumeThread(g_frozenThread);
            CloseHandle(g_frozenThread);
            g_frozenThread = NULL;
        }
    } else {
        Error("unknown or incomplete command \"%s\"", cmd.c_str());
    }
}

static int RunScript(const std::vector<Words> &lines)
{
    g_start = GetTickCount();
    for (const Words &words : lines) {
        Run(words);
        if (g_stopped) break;
    }
    if (g_frozenThread) Run(Words{"thaw"});
    Line("END %s", g_stopped ? "stopped" : "completed");
    return g_stopped ? 1 : 0;
}

// ---- never-shown-by: every window of one program --------------------------------------

// The file names (without folder) of the running processes, by process id.
static void ReadProcessNames(std::map<DWORD, std::string> &names)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        const char *name = entry.szExeFile;
        for (const char *p = entry.szExeFile; *p; p++)
            if (*p == '\\' || *p == '/') name = p + 1;
        names[entry.th32ProcessID] = name;
    }
    CloseHandle(snapshot);
}

struct WindowWatch {
    std::string image;                   // the program's file name
    std::set<HWND> earlier, now;         // visible top-level windows at the last look and at this one
    std::map<DWORD, std::string> names;  // process file names, read again for a process not known yet
    int shown;                           // a window of the program was shown
    int reporting;                       // 0 while the windows already there are noted
};

// Notes a visible top-level window, and reports it when it was not visible at
// the last look.
static BOOL CALLBACK WatchWindow(HWND wnd, LPARAM param)
{
    WindowWatch *w = (WindowWatch *)param;
    if (!IsWindowVisible(wnd)) return TRUE;
    w->now.insert(wnd);
    if (!w->reporting || w->earlier.count(wnd)) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (!w->names.count(pid)) ReadProcessNames(w->names);
    std::string image = w->names.count(pid) ? w->names[pid] : "?";
    char title[512];
    title[0] = 0;
    GetWindowTextA(wnd, title, sizeof title);
    std::string cls = ClassOf(wnd);
    int ours = lstrcmpiA(image.c_str(), w->image.c_str()) == 0 || cls == "#32770";
    if (ours) w->shown = 1;
    Line("%s pid=%lu image=%s class=%s title=\"%s\"", ours ? "SHOWN" : "OTHER", (unsigned long)pid, image.c_str(),
         cls.c_str(), Escaped(title).c_str());
    return TRUE;
}

// never-shown-by: watches until the stop file appears (see the header).
static int WatchProgramWindows(const char *image, int seconds, const char *stop)
{
    WindowWatch w;
    w.image = image;
    w.shown = 0;
    // What is visible already is no news.
    w.reporting = 0;
    EnumWindows(WatchWindow, (LPARAM)&w);
    w.earlier.swap(w.now);
    w.reporting = 1;
    Line("watching");
    DWORD limit = GetTickCount() + (DWORD)seconds * 1000;
    for (;;) {
        // The stop file is looked for before the windows: a window shown
        // before the stop file appeared is seen at this look at the latest.
        int stopping = GetFileAttributesA(stop) != INVALID_FILE_ATTRIBUTES;
        w.now.clear();
        EnumWindows(WatchWindow, (LPARAM)&w);
        w.earlier.swap(w.now);
        if (stopping) return w.shown ? 1 : 0;
        if ((LONG)(GetTickCount() - limit) >= 0) break;
        Sleep(5);
    }
    fprintf(stderr, "robot: stopped watching %s after %d s without the stop file\n", image, seconds);
    return 3;
}

int main(int argc, char **argv)
{
    if (argc >= 3 && strcmp(argv[1], "script") == 0) {
        FILE *file = fopen(argv[2], "r");
        if (!file) {
            fprintf(stderr, "robot: cannot read %s\n", argv[2]);
            return 2;
        }
        std::vector<Words> lines;
        char line[4096];
        while (fgets(line, sizeof line, file)) lines.push_back(SplitLine(line));
        fclose(file);
        return RunScript(lines);
    }
    if (argc >= 3 && strcmp(argv[1], "do") == 0) {
        std::vector<Words> lines(1);
        for (int i = 2; i < argc; i++) {
            if (strcmp(argv[i], ";") == 0) lines.push_back(Words());
            else lines.back().push_back(argv[i]);
        }
        return RunScript(lines);
    }
    if (argc >= 2 && strcmp(argv[1], "never-shown-by") == 0) {
        if (argc != 5) {
            fprintf(stderr, "robot: never-shown-by needs IMAGE, SECONDS and a STOPFILE\n");
            return 2;
        }
        return WatchProgramWindows(argv[2], atoi(argv[3]), argv[4]);
    }
    if (argc < 3) {
        fprintf(stderr, "usage: robot wait-window|gone TITLE [SECONDS]\n"
                        "       robot never-shown TITLE SECONDS STOPFILE\n"
                        "       robot never-shown-by IMAGE SECONDS STOPFILE\n"
                        "       robot script FILE\n"
                        "       robot do COMMAND ARGS [; COMMAND ARGS]...\n");
        return 2;
    }
    return RunSingle(argc, argv);
}
