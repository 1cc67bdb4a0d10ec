// hostrc: reads the resource script that windres compiles for Windows and writes
// the host build's resource table (platform/host/hostrc_table.h), so that both
// builds take their texts, resources and dialog templates from one source.
//
//   hostrc [-I dir]... script.rc output.cpp
//
// It understands the subset the script uses: #include (scripts are read whole;
// from headers only their "#define NAME value" lines; <system> headers are
// skipped, their constants come from the table below), #define and #undef,
// comments, LANGUAGE, STRINGTABLE blocks, "NAME TYPE file" statements (ICON,
// BITMAP, custom types), and DIALOG and DIALOGEX blocks with their STYLE,
// EXSTYLE, CAPTION and FONT statements and their controls. Other blocks
// (BEGIN ... END) are skipped. As in windres, a defined name is replaced by its
// value wherever it stands as a word. Strings follow windres: \n \t \\ \"
// escapes and a doubled quote for a quote.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

struct Token {
    enum Kind { Word, String, Comma, Op, End } kind;
    std::string text;
    int line;
};

struct Control {
    long id;
    std::string className, text;
    unsigned long style, exStyle;
    long x, y, cx, cy;
};

struct Dialog {
    std::string name;  // as written, or "#n" for a numeric name
    std::string caption, fontFace;
    unsigned long style, exStyle;
    long x, y, cx, cy, fontSize;
    std::vector<Control> controls;
};

struct Context {
    std::vector<std::string> includeDirs;
    std::vector<std::pair<unsigned, std::string>> strings;
    struct File {
        std::string type, name, path;
    };
    std::vector<File> files;
    std::vector<Dialog> dialogs;
    std::map<std::string, std::string> macros;  // #define NAME value
};

static void Fail(const std::string &where, int line, const std::string &what)
{
    fprintf(stderr, "hostrc: %s:%d: %s\n", where.c_str(), line, what.c_str());
    exit(1);
}

static std::string DirOf(const std::string &path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

static bool Exists(const std::string &path)
{
    std::ifstream f(path);
    return f.good();
}

static std::string Locate(const Context &ctx, const std::string &from, const std::string &name)
{
    if (!name.empty() && name[0] == '/') return name;
    std::string local = DirOf(from) + "/" + name;
    if (Exists(local)) return local;
    for (auto &dir : ctx.includeDirs)
        if (Exists(dir + "/" + name)) return dir + "/" + name;
    return "";
}

static std::string ReadAll(const std::string &file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) Fail(file, 0, "cannot read");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

static std::string Trim(const std::string &s)
{
    size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

static void Parse(const std::string &file, Context &ctx);

// Handles a preprocessor line; `header` says whether it comes from a .h file.
static void Directive(const std::string &file, int line, std::string directive, Context &ctx)
{
    // Comments on a directive line are not part of it.
    size_t c = directive.find("//");
    if (c != std::string::npos) directive.erase(c);
    for (size_t b; (b = directive.find("/*")) != std::string::npos;) {
        size_t e = directive.find("*/", b + 2);
        directive.erase(b, e == std::string::npos ? std::string::npos : e + 2 - b);
    }
    std::string d = Trim(directive.substr(1));
    std::string keyword = d.substr(0, d.find_first_of(" \t"));
    std::string rest = Trim(d.substr(keyword.size()));
    if (keyword == "include") {
        if (!rest.empty() && rest[0] == '<') return;  // a system header: its constants are built in
        size_t q1 = rest.find('"'), q2 = rest.rfind('"');
        if (q1 == std::string::npos || q2 == q1) Fail(file, line, "bad #include");
        std::string name = rest.substr(q1 + 1, q2 - q1 - 1);
        std::string path = Locate(ctx, file, name);
        if (path.empty()) Fail(file, line, "cannot find " + name);
        if (path.size() > 2 && path.compare(path.size() - 2, 2, ".h") == 0) {
            // Headers carry #defines for the code: only those lines count here.
            std::istringstream in(ReadAll(path));
            std::string l;
            int n = 0;
            while (std::getline(in, l)) {
                n++;
                std::string t = Trim(l);
                if (t.compare(0, 1, "#") == 0 && t.find("include") == std::string::npos) Directive(path, n, t, ctx);
            }
        } else {
            Parse(path, ctx);
        }
    } else if (keyword == "define") {
        std::string name = rest.substr(0, rest.find_first_of(" \t("));
        if (name.empty()) Fail(file, line, "bad #define");
        if (rest.size() > name.size() && rest[name.size()] == '(') return;  // function-like: not used by scripts
        ctx.macros[name] = Trim(rest.substr(name.size()));
    } else if (keyword == "undef") {
        ctx.macros.erase(rest);
    }
    // #if, #ifdef, #ifndef, #else, #endif, #pragma: the script and its headers
    // use them only as include guards, so every line counts.
}

static bool IsSeparator(char c)
{
    return c == ',' || c == '"' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '|' || c == '(' ||
           c == ')' || c == '+' || c == '~';
}

static void Tokenize(const std::string &file, const std::string &text, Context &ctx, std::vector<Token> &out,
                     int line, bool directives, int depth);

// Appends a word, replaced by its #define'd value when it has one.
static void Emit(const std::string &file, const std::string &word, int line, Context &ctx, std::vector<Token> &out,
                 int depth)
{
    auto m = ctx.macros.find(word);
    if (m == ctx.macros.end()) {
        out.push_back({Token::Word, word, line});
        return;
    }
    if (depth > 32) Fail(file, line, "#define of " + word + " refers to itself");
    Tokenize(file, m->second, ctx, out, line, false, depth + 1);
}

static void Tokenize(const std::string &file, const std::string &text, Context &ctx, std::vector<Token> &out,
                     int line, bool directives, int depth)
{
    size_t i = 0;
    bool lineStart = true;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\n') {
            line++;
            i++;
            lineStart = true;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            i++;
            continue;
        }
        if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            while (i < text.size() && text[i] != '\n') i++;
            continue;
        }
        if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            size_t end = text.find("*/", i + 2);
            if (end == std::string::npos) Fail(file, line, "unterminated comment");
            for (size_t k = i; k < end; k++)
                if (text[k] == '\n') line++;
            i = end + 2;
            continue;
        }
        if (c == '#' && lineStart && directives) {
            size_t end = text.find('\n', i);
            Directive(file, line, text.substr(i, end == std::string::npos ? std::string::npos : end - i), ctx);
            i = end == std::string::npos ? text.size() : end;
            continue;
        }
        lineStart = false;
        if (c == ',') {
            out.push_back({Token::Comma, ",", line});
            i++;
            continue;
        }
        if (c == '|' || c == '(' || c == ')' || c == '+' || c == '~') {
            out.push_back({Token::Op, std::string(1, c), line});
            i++;
            continue;
        }
        if (c == '"') {
            std::string s;
            i++;
            for (;;) {
                if (i >= text.size()) Fail(file, line, "unterminated string");
                char d = text[i++];
                if (d == '"') {
                    if (i < text.size() && text[i] == '"') {
                        s += '"';
                        i++;
                        continue;
                    }
                    break;
                }
                if (d == '\\' && i < text.size()) {
                    char e = text[i++];
                    if (e == 'n')
                        s += '\n';
                    else if (e == 't')
                        s += '\t';
                    else if (e == 'r')
                        s += '\r';
                    else if (e == '\\')
                        s += '\\';
                    else if (e == '"')
                        s += '"';
                    else
                        Fail(file, line, std::string("unsupported escape \\") + e);
                    continue;
                }
                if (d == '\n') Fail(file, line, "line break inside a string");
                s += d;
            }
            out.push_back({Token::String, s, line});
            continue;
        }
        std::string word;
        while (i < text.size() && !IsSeparator(text[i])) word += text[i++];
        Emit(file, word, line, ctx, out, depth);
    }
}

// ---- constants of <windows.h> that dialog templates use ----------------------------------

static const struct {
    const char *name;
    unsigned long value;
} kConstants[] = {
    {"WS_OVERLAPPED", 0x00000000}, {"WS_POPUP", 0x80000000}, {"WS_CHILD", 0x40000000},
    {"WS_MINIMIZE", 0x20000000}, {"WS_VISIBLE", 0x10000000}, {"WS_DISABLED", 0x08000000},
    {"WS_CLIPSIBLINGS", 0x04000000}, {"WS_CLIPCHILDREN", 0x02000000}, {"WS_MAXIMIZE", 0x01000000},
    {"WS_CAPTION", 0x00C00000}, {"WS_BORDER", 0x00800000}, {"WS_DLGFRAME", 0x00400000},
    {"WS_VSCROLL", 0x00200000}, {"WS_HSCROLL", 0x00100000}, {"WS_SYSMENU", 0x00080000},
    {"WS_THICKFRAME", 0x00040000}, {"WS_GROUP", 0x00020000}, {"WS_TABSTOP", 0x00010000},
    {"WS_MINIMIZEBOX", 0x00020000}, {"WS_MAXIMIZEBOX", 0x00010000},
    {"WS_POPUPWINDOW", 0x80880000}, {"WS_OVERLAPPEDWINDOW", 0x00CF0000},
    {"DS_ABSALIGN", 0x01}, {"DS_SYSMODAL", 0x02}, {"DS_3DLOOK", 0x04}, {"DS_FIXEDSYS", 0x08},
    {"DS_NOFAILCREATE", 0x10}, {"DS_LOCALEDIT", 0x20}, {"DS_SETFONT", 0x40}, {"DS_MODALFRAME", 0x80},
    {"DS_NOIDLEMSG", 0x100}, {"DS_SETFOREGROUND", 0x200}, {"DS_CONTROL", 0x400}, {"DS_CENTER", 0x800},
    {"DS_CENTERMOUSE", 0x1000}, {"DS_CONTEXTHELP", 0x2000}, {"DS_SHELLFONT", 0x48},
    {"BS_PUSHBUTTON", 0x0}, {"BS_DEFPUSHBUTTON", 0x1}, {"BS_CHECKBOX", 0x2}, {"BS_AUTOCHECKBOX", 0x3},
    {"BS_RADIOBUTTON", 0x4}, {"BS_3STATE", 0x5}, {"BS_AUTO3STATE", 0x6}, {"BS_GROUPBOX", 0x7},
    {"BS_USERBUTTON", 0x8}, {"BS_AUTORADIOBUTTON", 0x9}, {"BS_OWNERDRAW", 0xB}, {"BS_LEFTTEXT", 0x20},
    {"BS_TEXT", 0x0}, {"BS_ICON", 0x40}, {"BS_BITMAP", 0x80}, {"BS_LEFT", 0x100}, {"BS_RIGHT", 0x200},
    {"BS_CENTER", 0x300}, {"BS_TOP", 0x400}, {"BS_BOTTOM", 0x800}, {"BS_VCENTER", 0xC00},
    {"BS_PUSHLIKE", 0x1000}, {"BS_MULTILINE", 0x2000}, {"BS_NOTIFY", 0x4000}, {"BS_FLAT", 0x8000},
    {"ES_LEFT", 0x0}, {"ES_CENTER", 0x1}, {"ES_RIGHT", 0x2}, {"ES_MULTILINE", 0x4}, {"ES_UPPERCASE", 0x8},
    {"ES_LOWERCASE", 0x10}, {"ES_PASSWORD", 0x20}, {"ES_AUTOVSCROLL", 0x40}, {"ES_AUTOHSCROLL", 0x80},
    {"ES_NOHIDESEL", 0x100}, {"ES_OEMCONVERT", 0x400}, {"ES_READONLY", 0x800}, {"ES_WANTRETURN", 0x1000},
    {"ES_NUMBER", 0x2000},
    {"SS_LEFT", 0x0}, {"SS_CENTER", 0x1}, {"SS_RIGHT", 0x2}, {"SS_ICON", 0x3}, {"SS_BLACKRECT", 0x4},
    {"SS_GRAYRECT", 0x5}, {"SS_WHITERECT", 0x6}, {"SS_BLACKFRAME", 0x7}, {"SS_GRAYFRAME", 0x8},
    {"SS_WHITEFRAME", 0x9}, {"SS_SIMPLE", 0xB}, {"SS_LEFTNOWORDWRAP", 0xC}, {"SS_BITMAP", 0xE},
    {"SS_ETCHEDHORZ", 0x10}, {"SS_ETCHEDVERT", 0x11}, {"SS_ETCHEDFRAME", 0x12}, {"SS_NOPREFIX", 0x80},
    {"SS_NOTIFY", 0x100}, {"SS_CENTERIMAGE", 0x200}, {"SS_SUNKEN", 0x1000},
    {"LBS_NOTIFY", 0x1}, {"LBS_SORT", 0x2}, {"LBS_NOREDRAW", 0x4}, {"LBS_MULTIPLESEL", 0x8},
    {"LBS_OWNERDRAWFIXED", 0x10}, {"LBS_OWNERDRAWVARIABLE", 0x20}, {"LBS_HASSTRINGS", 0x40},
    {"LBS_USETABSTOPS", 0x80}, {"LBS_NOINTEGRALHEIGHT", 0x100}, {"LBS_MULTICOLUMN", 0x200},
    {"LBS_WANTKEYBOARDINPUT", 0x400}, {"LBS_EXTENDEDSEL", 0x800}, {"LBS_DISABLENOSCROLL", 0x1000},
    {"LBS_NODATA", 0x2000}, {"LBS_NOSEL", 0x4000}, {"LBS_STANDARD", 0x00A00003},
    {"CBS_SIMPLE", 0x1}, {"CBS_DROPDOWN", 0x2}, {"CBS_DROPDOWNLIST", 0x3}, {"CBS_OWNERDRAWFIXED", 0x10},
    {"CBS_OWNERDRAWVARIABLE", 0x20}, {"CBS_AUTOHSCROLL", 0x40}, {"CBS_OEMCONVERT", 0x80}, {"CBS_SORT", 0x100},
    {"CBS_HASSTRINGS", 0x200}, {"CBS_NOINTEGRALHEIGHT", 0x400}, {"CBS_DISABLENOSCROLL", 0x800},
    {"CBS_UPPERCASE", 0x2000}, {"CBS_LOWERCASE", 0x4000},
    {"WS_EX_DLGMODALFRAME", 0x1}, {"WS_EX_NOPARENTNOTIFY", 0x4}, {"WS_EX_TOPMOST", 0x8},
    {"WS_EX_ACCEPTFILES", 0x10}, {"WS_EX_TRANSPARENT", 0x20}, {"WS_EX_TOOLWINDOW", 0x80},
    {"WS_EX_WINDOWEDGE", 0x100}, {"WS_EX_CLIENTEDGE", 0x200}, {"WS_EX_CONTEXTHELP", 0x400},
    {"WS_EX_STATICEDGE", 0x20000}, {"WS_EX_APPWINDOW", 0x40000},
    {"IDOK", 1}, {"IDCANCEL", 2}, {"IDABORT", 3}, {"IDRETRY", 4}, {"IDIGNORE", 5}, {"IDYES", 6},
    {"IDNO", 7}, {"IDCLOSE", 8}, {"IDHELP", 9}, {"IDC_STATIC", (unsigned long)-1},
};

// ---- expressions -------------------------------------------------------------------

struct Cursor {
    const std::string &file;
    const std::vector<Token> &toks;
    size_t i;
    bool word(const char *w) const { return i < toks.size() && toks[i].kind == Token::Word && toks[i].text == w; }
    bool op(const char *o) const { return i < toks.size() && toks[i].kind == Token::Op && toks[i].text == o; }
    bool comma() const { return i < toks.size() && toks[i].kind == Token::Comma; }
    int line() const { return toks.empty() ? 0 : toks[i < toks.size() ? i : toks.size() - 1].line; }
    [[noreturn]] void fail(const std::string &what) const
    {
        Fail(file, line(), what);
        exit(1);
    }
    void expectComma()
    {
        if (!comma()) fail("',' expected");
        i++;
    }
};

static long Expr(Cursor &c);

static long Primary(Cursor &c)
{
    if (c.i >= c.toks.size()) c.fail("value expected");
    const Token &t = c.toks[c.i];
    if (c.op("(")) {
        c.i++;
        long v = Expr(c);
        if (!c.op(")")) c.fail("')' expected");
        c.i++;
        return v;
    }
    if (c.op("~")) {
        c.i++;
        return (long)~(unsigned long)Primary(c);
    }
    if (t.kind != Token::Word) c.fail("value expected, found " + t.text);
    c.i++;
    if (t.text == "-") return -Primary(c);
    if (t.text == "NOT") c.fail("NOT only stands in a style");
    const char *s = t.text.c_str();
    bool negative = *s == '-';
    if (negative) s++;
    if (*s >= '0' && *s <= '9') {
        char *end = nullptr;
        unsigned long v = strtoul(s, &end, 0);
        while (*end == 'L' || *end == 'l' || *end == 'U' || *end == 'u') end++;
        if (*end) c.fail("bad number " + t.text);
        return negative ? -(long)v : (long)v;
    }
    for (auto &k : kConstants)
        if (t.text.compare(negative ? 1 : 0, std::string::npos, k.name) == 0)
            return negative ? -(long)(int)k.value : (long)(int)k.value;
    c.fail("unknown name " + t.text + " (add it to hostrc's constants or #define it)");
}

// Sums and bit unions: a | b, a + b, a - b (a "-b" word counts as minus b).
static long Expr(Cursor &c)
{
    long v = Primary(c);
    for (;;) {
        if (c.op("|")) {
            c.i++;
            v = (long)((unsigned long)v | (unsigned long)Primary(c));
        } else if (c.op("+")) {
            c.i++;
            v += Primary(c);
        } else if (c.i < c.toks.size() && c.toks[c.i].kind == Token::Word && c.toks[c.i].text[0] == '-') {
            v += Primary(c);
        } else {
            return v;
        }
    }
}

// A style: names and numbers joined by "|", each one added to `style`, or taken
// away from it when NOT stands before it (as in "WS_TABSTOP | NOT WS_VISIBLE").
static unsigned long Style(Cursor &c, unsigned long style)
{
    for (;;) {
        bool negate = false;
        if (c.word("NOT")) {
            negate = true;
            c.i++;
        }
        unsigned long v = (unsigned long)Primary(c);
        style = negate ? (style & ~v) : (style | v);
        if (!c.op("|")) return style & 0xFFFFFFFFul;
        c.i++;
    }
}

static std::string CanonicalClass(const std::string &name)
{
    static const char *known[] = {"Button", "Static", "Edit", "ListBox", "ComboBox", "ScrollBar"};
    for (const char *k : known)
        if (strcasecmp(k, name.c_str()) == 0) return k;
    return name;
}

// The shorthand control statements: class, whether a text comes first, the
// style when none is given, and the style that a given one is added to (windres
// adds WS_CHILD | WS_VISIBLE to both).
static const struct {
    const char *keyword;
    const char *className;
    bool hasText;
    unsigned long defaultStyle, baseStyle;
} kShorthand[] = {
    {"DEFPUSHBUTTON", "Button", true, 0x1 | 0x10000, 0x1 | 0x10000},
    {"PUSHBUTTON", "Button", true, 0x0 | 0x10000, 0x0 | 0x10000},
    {"LTEXT", "Static", true, 0x0 | 0x20000, 0x0},
    {"RTEXT", "Static", true, 0x2 | 0x20000, 0x2},
    {"CTEXT", "Static", true, 0x1 | 0x20000, 0x1},
    {"AUTORADIOBUTTON", "Button", true, 0x9 | 0x10000, 0x9},
    {"AUTOCHECKBOX", "Button", true, 0x3 | 0x10000, 0x3 | 0x10000},
    {"RADIOBUTTON", "Button", true, 0x4 | 0x10000, 0x4},
    {"CHECKBOX", "Button", true, 0x2 | 0x10000, 0x2 | 0x10000},
    {"GROUPBOX", "Button", true, 0x7, 0x7},
    {"EDITTEXT", "Edit", false, 0x0 | 0x00800000 | 0x10000, 0x0 | 0x00800000 | 0x10000},
    {"LISTBOX", "ListBox", false, 0x1 | 0x00800000, 0x1 | 0x00800000},
    {"COMBOBOX", "ComboBox", false, 0x1 | 0x10000, 0x0},
};
static const unsigned long kChildVisible = 0x40000000 | 0x10000000;

static std::string Text(Cursor &c)
{
    if (c.i < c.toks.size() && c.toks[c.i].kind == Token::String) return c.toks[c.i++].text;
    c.fail("text expected");
}

static std::string ResourceName(const Token &t)
{
    if (t.kind == Token::String) return t.text;
    char *end = nullptr;
    unsigned long n = strtoul(t.text.c_str(), &end, 0);
    if (!t.text.empty() && *end == 0 && t.text[0] >= '0' && t.text[0] <= '9') return "#" + std::to_string(n);
    return t.text;
}

// NAME DIALOG[EX] [memory flags] x, y, cx, cy [, help id]  statements  BEGIN controls END
// A place: x, y, width, height in dialog units, of a dialog or a control.
static void ReadPlace(Cursor &c, long &x, long &y, long &cx, long &cy)
{
    x = Expr(c);
    c.expectComma();
    y = Expr(c);
    c.expectComma();
    cx = Expr(c);
    c.expectComma();
    cy = Expr(c);
}

static void ParseDialog(Cursor &c, Context &ctx)
{
    Dialog d;
    d.name = ResourceName(c.toks[c.i]);
    bool ex = c.toks[c.i + 1].text == "DIALOGEX";
    c.i += 2;
    static const char *memFlags[] = {"MOVEABLE", "FIXED", "PURE", "IMPURE", "PRELOAD", "LOADONCALL", "DISCARDABLE"};
    for (bool again = true; again;) {
        again = false;
        for (const char *f : memFlags)
            if (c.word(f)) {
                c.i++;
                again = true;
            }
    }
    ReadPlace(c, d.x, d.y, d.cx, d.cy);
    if (ex && c.comma()) {
        c.i++;
        Expr(c);  // help id
    }
    // windres: WS_POPUP | WS_BORDER | WS_SYSMENU unless STYLE replaces it;
    // CAPTION adds WS_CAPTION and FONT adds DS_SETFONT wherever they stand.
    bool styled = false, captioned = false, fonted = false;
    unsigned long style = 0;
    d.exStyle = 0;
    d.fontSize = 0;
    while (!c.word("BEGIN") && !c.word("{")) {
        if (c.i >= c.toks.size()) c.fail("BEGIN expected");
        if (c.word("STYLE")) {
            c.i++;
            style = Style(c, 0);
            styled = true;
        } else if (c.word("EXSTYLE")) {
            c.i++;
            d.exStyle = Style(c, 0);
        } else if (c.word("CAPTION")) {
            c.i++;
            d.caption = Text(c);
            captioned = true;
        } else if (c.word("FONT")) {
            c.i++;
            d.fontSize = Expr(c);
            c.expectComma();
            d.fontFace = Text(c);
            fonted = true;
            for (int k = 0; k < 3 && c.comma(); k++) {  // DIALOGEX: weight, italic, charset
                c.i++;
                Expr(c);
            }
        } else if (c.word("LANGUAGE")) {
            c.i++;
            Expr(c);
            c.expectComma();
            Expr(c);
        } else if (c.word("CHARACTERISTICS") || c.word("VERSION")) {
            c.i++;
            Expr(c);
        } else if (c.word("CLASS") || c.word("MENU")) {
            c.i += 2;
        } else {
            c.fail("unsupported dialog statement " + c.toks[c.i].text);
        }
    }
    d.style = (styled ? style : 0x80880000ul) | (captioned ? 0x00C00000ul : 0) | (fonted ? 0x40ul : 0);
    c.i++;
    while (!c.word("END") && !c.word("}")) {
        if (c.i >= c.toks.size()) c.fail("END expected");
        if (c.toks[c.i].kind != Token::Word) c.fail("control statement expected, found " + c.toks[c.i].text);
        std::string keyword = c.toks[c.i].text;
        c.i++;
        Control k;
        k.exStyle = 0;
        if (keyword == "CONTROL") {
            k.text = Text(c);
            c.expectComma();
            k.id = Expr(c);
            c.expectComma();
            if (c.i < c.toks.size() && (c.toks[c.i].kind == Token::String || c.toks[c.i].kind == Token::Word))
                k.className = CanonicalClass(c.toks[c.i++].text);
            else
                c.fail("class expected");
            c.expectComma();
            k.style = Style(c, kChildVisible);
            c.expectComma();
            ReadPlace(c, k.x, k.y, k.cx, k.cy);
            if (c.comma()) {
                c.i++;
                k.exStyle = Style(c, 0);
            }
            if (ex && c.comma()) {
                c.i++;
                Expr(c);  // help id
            }
        } else {
            const auto *s = &kShorthand[0];
            for (; s != std::end(kShorthand); s++)
                if (keyword == s->keyword) break;
            if (s == std::end(kShorthand)) c.fail("unsupported control statement " + keyword);
            k.className = s->className;
            if (s->hasText) {
                k.text = Text(c);
                c.expectComma();
            }
            k.id = Expr(c);
            c.expectComma();
            ReadPlace(c, k.x, k.y, k.cx, k.cy);
            k.style = s->defaultStyle | kChildVisible;
            if (c.comma()) {
                c.i++;
                k.style = Style(c, s->baseStyle | kChildVisible);
                if (c.comma()) {
                    c.i++;
                    k.exStyle = Style(c, 0);
                }
                if (ex && c.comma()) {
                    c.i++;
                    Expr(c);  // help id
                }
            }
        }
        d.controls.push_back(k);
    }
    c.i++;
    for (auto &other : ctx.dialogs)
        if (strcasecmp(other.name.c_str(), d.name.c_str()) == 0) c.fail("duplicate dialog " + d.name);
    ctx.dialogs.push_back(d);
}

static void Parse(const std::string &file, Context &ctx)
{
    std::vector<Token> toks;
    Tokenize(file, ReadAll(file), ctx, toks, 1, true, 0);
    size_t i = 0;
    auto isWord = [&](size_t k, const char *w) { return k < toks.size() && toks[k].kind == Token::Word && toks[k].text == w; };
    auto skipBlock = [&]() {
        while (i < toks.size() && !isWord(i, "BEGIN")) i++;
        int depth = 0;
        for (; i < toks.size(); i++) {
            if (isWord(i, "BEGIN")) depth++;
            if (isWord(i, "END") && --depth == 0) {
                i++;
                return;
            }
        }
        Fail(file, toks.empty() ? 0 : toks.back().line, "unterminated block");
    };
    while (i < toks.size()) {
        if (isWord(i, "LANGUAGE")) {
            i += 4;  // LANGUAGE primary , sub
            continue;
        }
        if (isWord(i, "STRINGTABLE")) {
            while (i < toks.size() && !isWord(i, "BEGIN")) i++;
            i++;
            while (i < toks.size() && !isWord(i, "END")) {
                if (toks[i].kind != Token::Word) Fail(file, toks[i].line, "string id expected");
                char *end = nullptr;
                unsigned long id = strtoul(toks[i].text.c_str(), &end, 0);
                if (*end || id > 0xFFFF) Fail(file, toks[i].line, "numeric string id expected");
                i++;
                if (i < toks.size() && toks[i].kind == Token::Comma) i++;
                if (i >= toks.size() || toks[i].kind != Token::String) Fail(file, toks[i - 1].line, "string expected");
                for (auto &s : ctx.strings)
                    if (s.first == id) Fail(file, toks[i].line, "duplicate string id");
                ctx.strings.push_back({(unsigned)id, toks[i].text});
                i++;
            }
            i++;
            continue;
        }
        if (i + 1 < toks.size() && (isWord(i + 1, "DIALOG") || isWord(i + 1, "DIALOGEX"))) {
            Cursor c{file, toks, i};
            ParseDialog(c, ctx);
            i = c.i;
            continue;
        }
        // NAME TYPE "file"   or   NAME TYPE ... BEGIN ... END
        if (i + 2 < toks.size() && toks[i].kind == Token::Word && toks[i + 1].kind == Token::Word &&
            toks[i + 2].kind == Token::String) {
            std::string path = Locate(ctx, file, toks[i + 2].text);
            if (path.empty()) Fail(file, toks[i].line, "cannot find " + toks[i + 2].text);
            ctx.files.push_back({toks[i + 1].text, toks[i].text, path});
            i += 3;
            continue;
        }
        if (toks[i].kind == Token::Word) {
            skipBlock();
            continue;
        }
        Fail(file, toks[i].line, "unexpected token " + toks[i].text);
    }
}

static std::string CString(const std::string &s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += (char)c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 32 || c >= 127) {
            char buf[8];
            snprintf(buf, sizeof buf, "\\%03o", c);
            out += buf;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

static std::string Absolute(const std::string &path)
{
    if (!path.empty() && path[0] == '/') return path;
    char *real = realpath(path.c_str(), nullptr);
    std::string out = real ? real : path;
    free(real);
    return out;
}

static std::string Hex(unsigned long v)
{
    char buf[16];
    snprintf(buf, sizeof buf, "0x%08lXu", v & 0xFFFFFFFFul);
    return buf;
}

int main(int argc, char **argv)
{
    Context ctx;
    std::vector<std::string> args;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "-I" && i + 1 < argc)
            ctx.includeDirs.push_back(argv[++i]);
        else
            args.push_back(a);
    }
    if (args.size() != 2) {
        fprintf(stderr, "usage: hostrc [-I dir]... script.rc output.cpp\n");
        return 2;
    }
    Parse(args[0], ctx);
    std::ofstream out(args[1], std::ios::binary);
    out << "// Generated by tools/hostrc from " << args[0] << ". Do not edit.\n";
    out << "#include \"hostrc_table.h\"\n\n";
    out << "const HostRcString g_hostRcStrings[] = {\n";
    for (auto &s : ctx.strings) out << "    {" << s.first << ", " << CString(s.second) << "},\n";
    out << "    {0, 0}};\n";
    out << "const unsigned g_hostRcStringCount = " << ctx.strings.size() << ";\n\n";
    out << "const HostRcFile g_hostRcFiles[] = {\n";
    for (auto &f : ctx.files)
        out << "    {" << CString(f.type) << ", " << CString(f.name) << ", " << CString(Absolute(f.path)) << "},\n";
    out << "    {0, 0, 0}};\n";
    out << "const unsigned g_hostRcFileCount = " << ctx.files.size() << ";\n\n";
    for (size_t n = 0; n < ctx.dialogs.size(); n++) {
        out << "static const HostRcControl s_dialog" << n << "[] = {\n";
        for (auto &k : ctx.dialogs[n].controls)
            out << "    {" << k.id << ", " << CString(k.className) << ", " << CString(k.text) << ", " << Hex(k.style)
                << ", " << Hex(k.exStyle) << ", " << k.x << ", " << k.y << ", " << k.cx << ", " << k.cy << "},\n";
        out << "    {0, 0, 0, 0, 0, 0, 0, 0, 0}};\n";
    }
    out << "const HostRcDialog g_hostRcDialogs[] = {\n";
    for (size_t n = 0; n < ctx.dialogs.size(); n++) {
        const Dialog &d = ctx.dialogs[n];
        out << "    {" << CString(d.name) << ", " << CString(d.caption) << ", " << Hex(d.style) << ", "
            << Hex(d.exStyle) << ", " << d.x << ", " << d.y << ", " << d.cx << ", " << d.cy << ", "
            << CString(d.fontFace) << ", " << d.fontSize << ", s_dialog" << n << ", " << d.controls.size() << "},\n";
    }
    out << "    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};\n";
    out << "const unsigned g_hostRcDialogCount = " << ctx.dialogs.size() << ";\n";
    return out.good() ? 0 : 1;
}
