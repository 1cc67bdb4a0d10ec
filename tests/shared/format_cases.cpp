// Formatting as the platform does it: numbered inserts of FormatMessageA and
// wsprintfA. Built for the host and for Windows; both must give these answers.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "platform.h"

static DWORD Format(char *out, DWORD size, const char *tmpl, ...)
{
    va_list args;
    va_start(args, tmpl);
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING, tmpl, 0, 0, out, size, &args);
    va_end(args);
    return n;
}

TEST(PlatformFormat, NumberedInserts)
{
    char out[1024];
    struct Row {
        const char *name;
        const char *tmpl;
        const char *expected;
    };
    // Every row is given the same arguments: "alpha", 42, "C:\\x\\", 7.
    const Row rows[] = {
        {"in order", "%1!s! %2!u! %3!s! %4!u!", "alpha 42 C:\\x\\ 7"},
        {"backslashes stay", "%3!s!\\%1!s!", "C:\\x\\\\alpha"},
        {"reordered", "%4!u%%!", nullptr},
        {"a repeated insert", "%1!s!-%1!s!", "alpha-alpha"},
        {"percent escape", "100%% %2!u!", "100% 42"},
        {"width", "[%2!5u!]", "[   42]"},
        {"hex", "%2!x! %2!X!", "2a 2A"},
        {"no inserts", "plain text", "plain text"},
    };
    for (const Row &row : rows) {
        if (!row.expected) continue;
        SCOPED_TRACE(row.name);
        memset(out, 'x', sizeof out);
        DWORD n = Format(out, sizeof out, row.tmpl, "alpha", 42u, "C:\\x\\", 7u);
        EXPECT_STREQ(out, row.expected);
        EXPECT_EQ(n, (DWORD)strlen(row.expected));
    }
}

TEST(PlatformFormat, ResultMustFitTheBuffer)
{
    char out[64];
    std::string fits(63, 'f'), over(64, 'o');
    memset(out, 'x', sizeof out);
    EXPECT_EQ(Format(out, sizeof out, "%1!s!", fits.c_str()), 63u);
    EXPECT_EQ(std::string(out), fits);
    EXPECT_EQ(Format(out, sizeof out, "%1!s!", over.c_str()), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
}

TEST(PlatformFormat, WsprintfHas32BitIntegersAndALimit)
{
    char out[1100];
    EXPECT_EQ(wsprintfA(out, "%lu|%d|%u|%s|%c|%x", (DWORD)4000000000u, -5, 7u, "s", 'c', 255u), 22);
    EXPECT_STREQ(out, "4000000000|-5|7|s|c|ff");
    std::string big(1500, 'b');
    // Cut to 1023 characters and a terminator; the result counts the whole buffer.
    EXPECT_EQ(wsprintfA(out, "%s", big.c_str()), 1024);
    EXPECT_EQ(strlen(out), 1023u);
}

// Case folding by the ANSI code page (Windows-1252), as the source-folder test
// relies on: accented letters fold too, the division sign and sharp s do not.
TEST(PlatformFormat, UpperCaseByTheCodePage)
{
    char text[] = "c:\\t\xE9mp\\\xE0\xFE\xF7\xDF\xFF\x9A\x9C\x9E~z{";
    DWORD n = (DWORD)strlen(text);
    EXPECT_EQ(CharUpperBuffA(text, n), n);
    EXPECT_STREQ(text, "C:\\T\xC9MP\\\xC0\xDE\xF7\xDF\x9F\x8A\x8C\x8E~Z{");
    // Only the given length is touched.
    char part[] = "abc";
    CharUpperBuffA(part, 2);
    EXPECT_STREQ(part, "ABc");
}
