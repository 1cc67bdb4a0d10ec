// String services of the host layer: the lstr* family, wsprintfA with the
// Windows rules (1024-character limit, 32-bit integers whatever the "l"), and
// FormatMessageA for templates given as strings.
#include <stdio.h>
#include <string.h>

#include <string>

#include "internal.h"

int lstrlenA(LPCSTR s) { return s ? (int)strlen(s) : 0; }

LPSTR lstrcpyA(LPSTR dst, LPCSTR src)
{
    memmove(dst, src, strlen(src) + 1);
    return dst;
}

LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int size)
{
    if (size <= 0) return dst;
    int i = 0;
    for (; i < size - 1 && src[i]; i++) dst[i] = src[i];
    dst[i] = 0;
    return dst;
}

LPSTR lstrcatA(LPSTR dst, LPCSTR src)
{
    memmove(dst + strlen(dst), src, strlen(src) + 1);
    return dst;
}

int lstrcmpA(LPCSTR a, LPCSTR b)
{
    int r = strcmp(a, b);
    return r < 0 ? -1 : r > 0;
}

// Windows compares ignoring case by the user's locale; for the ASCII names the
// installer compares, folding A-Z to a-z is the same.
int lstrcmpiA(LPCSTR a, LPCSTR b)
{
    for (;; a++, b++) {
        int ca = (unsigned char)*a, cb = (unsigned char)*b;
        if (ca >= 'A' && ca <= 'Z') ca += 'a' - 'A';
        if (cb >= 'A' && cb <= 'Z') cb += 'a' - 'A';
        if (ca != cb) return ca < cb ? -1 : 1;
        if (!ca) return 0;
    }
}

// Windows-1252, as the system's ANSI code page folds it: the ASCII letters,
// the accented letters of 0xE0-0xFE (not the division sign 0xF7), and the
// four letters of the 0x80 block whose capitals lie elsewhere.
DWORD CharUpperBuffA(LPSTR text, DWORD length)
{
    for (DWORD i = 0; i < length; i++) {
        unsigned char c = (unsigned char)text[i];
        if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            c = (unsigned char)(c - 0x20);
        else if (c == 0x9A || c == 0x9C || c == 0x9E)
            c = (unsigned char)(c - 0x10);
        else if (c == 0xFF)
            c = 0x9F;
        text[i] = (char)c;
    }
    return length;
}

// One conversion of a printf-style format: flags, width, precision, size, type.
struct Conversion {
    bool left, zero, alt;
    int width, precision;
    char type;
};

// Parses the conversion after '%' at *p; returns false for an unknown type.
static bool ParseConversion(const char *&p, Conversion &conv)
{
    conv = Conversion{false, false, false, 0, -1, 0};
    for (;; p++) {
        if (*p == '-')
            conv.left = true;
        else if (*p == '0')
            conv.zero = true;
        else if (*p == '#')
            conv.alt = true;
        else
            break;
    }
    while (*p >= '0' && *p <= '9') conv.width = conv.width * 10 + (*p++ - '0');
    if (*p == '.') {
        p++;
        conv.precision = 0;
        while (*p >= '0' && *p <= '9') conv.precision = conv.precision * 10 + (*p++ - '0');
    }
    while (*p == 'l' || *p == 'h') p++;  // all integers are 32-bit here
    conv.type = *p;
    if (!*p) return false;
    p++;
    return strchr("cdiuxXs", conv.type) != nullptr;
}

// Renders one conversion with its value (a string for 's', else a 32-bit integer).
static std::string Render(const Conversion &conv, const char *s, uint32_t n)
{
    std::string body;
    char digits[40];
    switch (conv.type) {
    case 's':
        body = s ? s : "(null)";
        if (conv.precision >= 0 && (int)body.size() > conv.precision) body.resize((size_t)conv.precision);
        break;
    case 'c':
        body = std::string(1, (char)n);
        break;
    case 'd':
    case 'i':
        snprintf(digits, sizeof digits, "%d", (int32_t)n);
        body = digits;
        break;
    case 'u':
        snprintf(digits, sizeof digits, "%u", n);
        body = digits;
        break;
    case 'x':
        snprintf(digits, sizeof digits, conv.alt ? "%#x" : "%x", n);
        body = digits;
        break;
    case 'X':
        snprintf(digits, sizeof digits, conv.alt ? "%#X" : "%X", n);
        body = digits;
        break;
    }
    if (conv.type != 's' && conv.type != 'c' && conv.precision > 0) {
        bool neg = !body.empty() && body[0] == '-';
        std::string num = neg ? body.substr(1) : body;
        while ((int)num.size() < conv.precision) num = "0" + num;
        body = neg ? "-" + num : num;
    }
    if ((int)body.size() < conv.width) {
        size_t pad = (size_t)conv.width - body.size();
        if (conv.left)
            body.append(pad, ' ');
        else if (conv.zero && conv.type != 's')
            body.insert(body[0] == '-' ? 1 : 0, pad, '0');
        else
            body.insert(0, pad, ' ');
    }
    return body;
}

int wvsprintfA(LPSTR buffer, LPCSTR format, va_list args)
{
    std::string out;
    for (const char *p = format; *p;) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        p++;
        if (*p == '%') {
            out += '%';
            p++;
            continue;
        }
        const char *start = p;
        Conversion conv;
        if (!ParseConversion(p, conv)) {
            out.append(start, (size_t)(p - start));
            continue;
        }
        if (conv.type == 's')
            out += Render(conv, va_arg(args, const char *), 0);
        else
            out += Render(conv, nullptr, va_arg(args, uint32_t));
    }
    // wsprintf writes at most 1024 characters, terminator included, and a cut
    // result reports the whole buffer (as the system's does).
    if (out.size() > 1023) {
        memcpy(buffer, out.c_str(), 1023);
        buffer[1023] = 0;
        return 1024;
    }
    memcpy(buffer, out.c_str(), out.size() + 1);
    return (int)out.size();
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    int n = wvsprintfA(buffer, format, args);
    va_end(args);
    return n;
}

DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD, DWORD, LPSTR buffer, DWORD size, va_list *args)
{
    if (HostFault("FormatMessageA")) return 0;
    if (!(flags & FORMAT_MESSAGE_FROM_STRING) || (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) ||
        (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) || !source || !buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char *tmpl = (const char *)source;
    bool insertsWanted = !(flags & FORMAT_MESSAGE_IGNORE_INSERTS);

    // First pass: the conversion of each insert number, so that the arguments,
    // which come in insert order, can be fetched with the right types.
    char kinds[100] = {0};
    int highest = 0;
    for (const char *p = tmpl; insertsWanted && *p; p++) {
        if (*p != '%') continue;
        p++;
        if (*p >= '1' && *p <= '9') {
            int n = *p - '0';
            if (p[1] >= '0' && p[1] <= '9') n = n * 10 + (*++p - '0');
            char kind = 's';
            if (p[1] == '!') {
                const char *q = p + 2;
                Conversion conv;
                if (!ParseConversion(q, conv) || *q != '!') {
                    SetLastError(ERROR_INVALID_PARAMETER);
                    return 0;
                }
                kind = conv.type == 's' ? 's' : 'n';
                p = q;
            }
            kinds[n] = kind;
            if (n > highest) highest = n;
        } else if (!*p) {
            break;
        }
    }
    const char *strs[100] = {0};
    uint32_t nums[100] = {0};
    if (highest > 0) {
        if (!args) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        va_list copy;
        va_copy(copy, *args);
        for (int i = 1; i <= highest; i++) {
            if (kinds[i] == 'n')
                nums[i] = va_arg(copy, uint32_t);
            else
                strs[i] = va_arg(copy, const char *);  // an unused number is taken as a string
        }
        va_end(copy);
    }

    std::string out;
    for (const char *p = tmpl; *p; p++) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        p++;
        if (!*p) break;
        if (*p >= '1' && *p <= '9' && insertsWanted) {
            int n = *p - '0';
            if (p[1] >= '0' && p[1] <= '9') n = n * 10 + (*++p - '0');
            Conversion conv = Conversion{false, false, false, 0, -1, 's'};
            if (p[1] == '!') {
                const char *q = p + 2;
                ParseConversion(q, conv);
                p = q;  // at the closing '!'
            }
            out += conv.type == 's' ? Render(conv, strs[n], 0) : Render(conv, nullptr, nums[n]);
        } else if (*p == '0') {
            break;  // ends the message without a line break
        } else if (*p == 'n') {
            out += "\r\n";
        } else if (*p == 'r') {
            out += '\r';
        } else if (*p == 't') {
            out += '\t';
        } else if (*p == 'b') {
            out += ' ';
        } else {
            out += *p;  // "%%", "%.", "%!" and any other: the character itself
        }
    }
    if (out.size() + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(buffer, out.c_str(), out.size() + 1);
    return (DWORD)out.size();
}
