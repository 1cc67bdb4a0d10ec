// hostrc: reads the resource script that windres compiles for Windows and writes
// the host build's resource table (platform/host/hostrc_table.h), so that both
// builds take their texts and resources from one source.
//
//   hostrc [-I dir]... script.rc output.cpp
//
// It understands the subset the script uses: #include, comments, LANGUAGE,
// STRINGTABLE blocks, and "NAME TYPE file" statements (ICON, BITMAP, custom
// types). Other blocks (BEGIN ... END) are skipped. Strings follow windres:
// \n \t \\ \" escapes and a doubled quote for a quote.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct Token {
    enum Kind { Word, String, Comma, End } kind;
    std::string text;
    int line;
};

struct Context {
    std::vector<std::string> includeDirs;
    std::vector<std::pair<unsigned, std::string>> strings;
    struct File {
        std::string type, name, path;
    };
    std::vector<File> files;
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

static std::vector<Token> Tokenize(const std::string &file, const std::string &text, Context &ctx);
static void Parse(const std::string &file, Context &ctx);

static std::vector<Token> Tokenize(const std::string &file, const std::string &text, Context &ctx)
{
    std::vector<Token> out;
    int line = 1;
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
        if (c == '#' && lineStart) {
            size_t end = text.find('\n', i);
            std::string directive = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
            if (directive.compare(0, 8, "#include") == 0) {
                size_t q1 = directive.find('"'), q2 = directive.rfind('"');
                if (q1 == std::string::npos || q2 == q1) Fail(file, line, "bad #include");
                std::string name = directive.substr(q1 + 1, q2 - q1 - 1);
                std::string path = Locate(ctx, file, name);
                if (path.empty()) Fail(file, line, "cannot find " + name);
                // Headers carry only #defines for the code; scripts carry resources.
                if (path.size() < 3 || path.compare(path.size() - 2, 2, ".h") != 0) Parse(path, ctx);
            }
            i = end == std::string::npos ? text.size() : end;
            continue;
        }
        lineStart = false;
        if (c == ',') {
            out.push_back({Token::Comma, ",", line});
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
        while (i < text.size() && text[i] != ',' && text[i] != '"' && text[i] != ' ' && text[i] != '\t' &&
               text[i] != '\r' && text[i] != '\n')
            word += text[i++];
        out.push_back({Token::Word, word, line});
    }
    return out;
}

static void Parse(const std::string &file, Context &ctx)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) Fail(file, 0, "cannot read");
    std::stringstream ss;
    ss << in.rdbuf();
    std::vector<Token> toks = Tokenize(file, ss.str(), ctx);
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
    out << "const unsigned g_hostRcFileCount = " << ctx.files.size() << ";\n";
    return out.good() ? 0 : 1;
}
