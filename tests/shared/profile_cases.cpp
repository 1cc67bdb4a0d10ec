// The answers of the profile functions on tricky INI files, pinned as rows.
// The same rows run in the host build, against the platform layer's own INI
// reader and writer, and in the Windows build under Wine, against the real
// functions: whatever passes on both is how the installer's options file,
// WIN.INI record and site lists will really be read and written.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "platform.h"
#include "shared/xplat.h"

namespace {

// Test files, byte for byte; each is written into a fresh scratch folder.
struct CaseFile {
    const char *name;
    const char *bytes;
    size_t length;
};
#define CASE_FILE(name, literal) {name, literal, sizeof(literal) - 1}

const CaseFile kFiles[] = {
    CASE_FILE("tricky.ini",
              "; a comment before any section\r\n"
              "orphan=before any section\r\n"
              "\r\n"
              "[Section1]\r\n"
              "name1=val1\r\n"
              "  Name2   =   spaced value  \r\n"
              "\tTabbed\t=\tx\t\r\n"
              "name3\r\n"
              "name4=\r\n"
              "quoted=\"val2\"\r\n"
              "single='sq'\r\n"
              "innerblanks=\" in \"\r\n"
              "open=\"half\r\n"
              "mixed='ab\"\r\n"
              "lone=\"\r\n"
              "emptyquotes=\"\"\r\n"
              "innerquote=\"a\"b\"\r\n"
              "semicolon=value ; not a comment\r\n"
              ";name5=commented out\r\n"
              "dup=first\r\n"
              "DUP=second\r\n"
              "equals=a=b\r\n"
              "long=0123456789\r\n"
              " \t \r\n"
              "[section1]\r\n"
              "dup=third\r\n"
              "extra=only in the second copy\r\n"
              "[ Spaced Name ]\r\n"
              "k=v\r\n"
              "[Trailing] text after the bracket\r\n"
              "t=1\r\n"
              "[Broken\r\n"
              "b=2\r\n"
              "[Empty]\r\n"
              "\r\n"
              "[Last]\r\n"
              "end=no line end"),
    CASE_FILE("lists.ini",
              "[alpha]\n"
              "one=1\n"
              "two=2\n"
              "three\n"
              ";four=4\n"
              "five=\n"
              "[beta]\n"
              "[ALPHA]\n"
              "six=6\n"
              "[gamma]\n"
              "g=1\n"),
    CASE_FILE("cr.ini", "[s]\rk=v\r\r[t]\rk2=v2\r"),
    CASE_FILE("empty.ini", ""),
    CASE_FILE("bom.ini", "\xEF\xBB\xBF[s]\r\nk=v\r\n"),
    CASE_FILE("ctrlz.ini", "[s]\r\nk=v\x1a\r\n\x1a"),
    CASE_FILE("ints.ini",
              "[n]\r\n"
              "minus=-1\r\n"
              "plus=+1\r\n"
              "wrap=4294967297\r\n"
              "negwrap=-4294967297\r\n"
              "stop=42A9\r\n"
              "letter=B42\r\n"
              "blanks=  17  \r\n"
              "empty=\r\n"
              "hex=0x1A\r\n"
              "upperhex=0X1A\r\n"
              "quoted=\"12\"\r\n"),
};

class ProfileCases : public testing::Test {
protected:
    void SetUp() override
    {
        XplatSetUp();
        if (HasFatalFailure()) return;
        for (const CaseFile &file : kFiles)
            ASSERT_TRUE(XplatWriteFile(XplatScratchPath(file.name), std::string(file.bytes, file.length)))
                << file.name;
    }
};

// ---- GetPrivateProfileStringA ------------------------------------------------------

// One read: the answer and the bytes at the start of the buffer, up to and
// including the zero that ends the expected literal. A size of 0 expects the
// buffer untouched.
struct ReadRow {
    const char *name;
    const char *file;  // in the scratch folder
    const char *section;
    const char *key;
    const char *def;
    DWORD size;
    DWORD result;
    const char *expected;
    size_t expectedLength;  // bytes compared, the literal's own zero included
};
#define WANT(literal) literal, sizeof(literal)
#define UNTOUCHED "", 0

const ReadRow kReadRows[] = {
    // Names: case, blanks around them, what lies outside the section.
    {"exact names", "tricky.ini", "Section1", "name1", "dflt", 200, 4, WANT("val1")},
    {"section and key ignore case", "tricky.ini", "SECTION1", "NAME1", "dflt", 200, 4, WANT("val1")},
    {"blanks around requested names", "tricky.ini", "  Section1\t", " name1 ", "dflt", 200, 4, WANT("val1")},
    {"blanks around stored name and value", "tricky.ini", "Section1", "name2", "dflt", 200, 12,
     WANT("spaced value")},
    {"tabs around name and value", "tricky.ini", "Section1", "tabbed", "dflt", 200, 1, WANT("x")},
    {"entries before any section are in no section", "tricky.ini", "Section1", "orphan", "dflt", 200, 4,
     WANT("dflt")},
    {"blanks inside a section head", "tricky.ini", "Spaced Name", "k", "dflt", 200, 1, WANT("v")},
    {"text after a section head's bracket", "tricky.ini", "Trailing", "t", "dflt", 200, 1, WANT("1")},
    {"a '[' without ']' is an entry of the section before", "tricky.ini", "Trailing", "b", "dflt", 200, 1,
     WANT("2")},
    {"a '[' without ']' opens no section", "tricky.ini", "Broken", "b", "dflt", 200, 4, WANT("dflt")},
    {"last line without a line end", "tricky.ini", "Last", "end", "dflt", 200, 11, WANT("no line end")},
    // Entries.
    {"key without '=' reads as missing", "tricky.ini", "Section1", "name3", "dflt", 200, 4, WANT("dflt")},
    {"empty value is not missing", "tricky.ini", "Section1", "name4", "dflt", 200, 0, WANT("")},
    {"no inline comments", "tricky.ini", "Section1", "semicolon", "dflt", 200, 21,
     WANT("value ; not a comment")},
    {"commented-out key", "tricky.ini", "Section1", "name5", "dflt", 200, 4, WANT("dflt")},
    {"first of duplicate keys", "tricky.ini", "Section1", "dup", "dflt", 200, 5, WANT("first")},
    {"only the first of duplicate sections", "tricky.ini", "section1", "extra", "dflt", 200, 4,
     WANT("dflt")},
    {"value holding '='", "tricky.ini", "Section1", "equals", "dflt", 200, 3, WANT("a=b")},
    {"missing section", "tricky.ini", "Nowhere", "name1", "dflt", 200, 4, WANT("dflt")},
    {"missing key", "tricky.ini", "Section1", "nokey", "dflt", 200, 4, WANT("dflt")},
    {"missing file", "absent.ini", "Section1", "name1", "dflt", 200, 4, WANT("dflt")},
    // Quotes.
    {"double quotes", "tricky.ini", "Section1", "quoted", "dflt", 200, 4, WANT("val2")},
    {"single quotes", "tricky.ini", "Section1", "single", "dflt", 200, 2, WANT("sq")},
    {"blanks inside quotes stay", "tricky.ini", "Section1", "innerblanks", "dflt", 200, 4, WANT(" in ")},
    {"opening quote alone stays", "tricky.ini", "Section1", "open", "dflt", 200, 5, WANT("\"half")},
    {"different quotes stay", "tricky.ini", "Section1", "mixed", "dflt", 200, 4, WANT("'ab\"")},
    {"a lone quote stays", "tricky.ini", "Section1", "lone", "dflt", 200, 1, WANT("\"")},
    {"two quotes make an empty value", "tricky.ini", "Section1", "emptyquotes", "dflt", 200, 0, WANT("")},
    {"only the outer quotes go", "tricky.ini", "Section1", "innerquote", "dflt", 200, 3, WANT("a\"b")},
    // Buffer sizes.
    {"value fits with its zero", "tricky.ini", "Section1", "long", "dflt", 11, 10, WANT("0123456789")},
    {"value one too long", "tricky.ini", "Section1", "long", "dflt", 10, 9, WANT("012345678")},
    {"size 2", "tricky.ini", "Section1", "long", "dflt", 2, 1, WANT("0")},
    {"size 1", "tricky.ini", "Section1", "long", "dflt", 1, 0, WANT("")},
    {"size 0 leaves the buffer alone", "tricky.ini", "Section1", "long", "dflt", 0, 0, UNTOUCHED},
    {"quoted value cut short", "tricky.ini", "Section1", "quoted", "dflt", 4, 3, WANT("val")},
    {"quoted value one short of its closing quote", "tricky.ini", "Section1", "quoted", "dflt", 5, 3,
     WANT("val")},
    {"quoted value with room for its closing quote", "tricky.ini", "Section1", "quoted", "dflt", 6, 4,
     WANT("val2")},
    {"default cut short", "tricky.ini", "Section1", "nokey", "defaultvalue", 4, 3, WANT("def")},
    // The default.
    {"default loses trailing spaces", "tricky.ini", "Section1", "nokey", "dflt  ", 200, 4, WANT("dflt")},
    {"default keeps leading spaces", "tricky.ini", "Section1", "nokey", "  lead", 200, 6, WANT("  lead")},
    {"default of spaces keeps one", "tricky.ini", "Section1", "nokey", "   ", 200, 1, WANT(" ")},
    {"default keeps a trailing tab", "tricky.ini", "Section1", "nokey", "tab\t", 200, 4, WANT("tab\t")},
    {"null default", "tricky.ini", "Section1", "nokey", NULL, 200, 0, WANT("")},
    {"default loses its quotes", "tricky.ini", "Section1", "nokey", "\"q\"", 200, 1, WANT("q")},
    {"unreadable file gives the default as it is", "nofolder\\absent.ini", "Section1", "name1", "\"q\" ", 200,
     3, WANT("\"q\"")},
    // Line ends and odd bytes.
    {"LF line ends", "lists.ini", "alpha", "two", "dflt", 200, 1, WANT("2")},
    {"CR line ends", "cr.ini", "s", "k", "dflt", 200, 1, WANT("v")},
    {"CR line ends, blank line between", "cr.ini", "t", "k2", "dflt", 200, 2, WANT("v2")},
    {"empty file", "empty.ini", "s", "k", "dflt", 200, 4, WANT("dflt")},
    {"UTF-8 byte order mark", "bom.ini", "s", "k", "dflt", 200, 1, WANT("v")},
    {"^Z is a blank", "ctrlz.ini", "s", "k", "dflt", 200, 1, WANT("v")},
    // Section names (null section): each ends with a zero, the list with another.
    {"section names", "tricky.ini", NULL, "name1", "dflt", 200, 50,
     WANT("Section1\0section1\0Spaced Name\0Trailing\0Empty\0Last\0")},
    {"section names with LF line ends", "lists.ini", NULL, NULL, "dflt", 100, 23,
     WANT("alpha\0beta\0ALPHA\0gamma\0")},
    {"section names filling the buffer exactly", "lists.ini", NULL, NULL, "dflt", 24, 22,
     WANT("alpha\0beta\0ALPHA\0gamma")},
    {"section names cut short", "lists.ini", NULL, NULL, "dflt", 16, 14, WANT("alpha\0beta\0ALP")},
    {"section names, size 1", "lists.ini", NULL, NULL, "dflt", 1, 0, WANT("")},
    {"section names of CR lines", "cr.ini", NULL, NULL, "dflt", 100, 4, WANT("s\0t\0")},
    {"section names of an empty file", "empty.ini", NULL, NULL, "dflt", 100, 0, WANT("")},
    {"section names of a missing file", "absent.ini", NULL, NULL, "dflt", 100, 0, WANT("")},
    // Key names (null key): entries with '=' only, no comments, first section only.
    {"key names", "tricky.ini", "Section1", NULL, "dflt", 200, 120,
     WANT("name1\0Name2\0Tabbed\0name4\0quoted\0single\0innerblanks\0open\0mixed\0lone\0emptyquotes\0"
          "innerquote\0semicolon\0dup\0DUP\0equals\0long\0")},
    {"key names with an entry from a '[' line", "tricky.ini", "Trailing", NULL, "dflt", 200, 4,
     WANT("t\0b\0")},
    {"key names of the first of duplicate sections", "lists.ini", "ALPHA", NULL, "dflt", 100, 13,
     WANT("one\0two\0five\0")},
    {"key names cut short", "lists.ini", "alpha", NULL, "dflt", 12, 10, WANT("one\0two\0fi")},
    {"key names stopping at a whole name", "lists.ini", "alpha", NULL, "dflt", 9, 7, WANT("one\0two")},
    {"key names of a section without keys give the default", "tricky.ini", "Empty", NULL, "none", 200, 4,
     WANT("none")},
    {"key names of a missing section give the whole default", "tricky.ini", "Nowhere", NULL, "dflt  ", 200,
     6, WANT("dflt  ")},
    {"key names do not trim the section name", "tricky.ini", " Trailing", NULL, "dflt", 200, 4,
     WANT("dflt")},
    {"key names of a missing file give the default", "absent.ini", "s", NULL, "dflt", 200, 4, WANT("dflt")},
};

TEST_F(ProfileCases, GetPrivateProfileStringAnswers)
{
    const unsigned char kFill = 0x7e;
    const DWORD kGuard = 64;
    for (const ReadRow &row : kReadRows) {
        SCOPED_TRACE(row.name);
        std::string buffer(row.size + kGuard, (char)kFill);
        std::string path = XplatScratchPath(row.file);
        DWORD result = GetPrivateProfileStringA(row.section, row.key, row.def, &buffer[0], row.size, path.c_str());
        EXPECT_EQ(result, row.result);
        if (row.expectedLength == 0) {
            EXPECT_EQ(buffer, std::string(row.size + kGuard, (char)kFill)) << "the buffer was written";
        } else {
            ASSERT_LE(row.expectedLength, row.size);
            EXPECT_EQ(buffer.substr(0, row.expectedLength), std::string(row.expected, row.expectedLength));
        }
        EXPECT_EQ(buffer.substr(row.size), std::string(kGuard, (char)kFill)) << "written past the size";
    }
}

// ---- GetPrivateProfileIntA ---------------------------------------------------------

struct IntRow {
    const char *name;
    const char *file;
    const char *key;
    INT def;
    UINT result;
};

const IntRow kIntRows[] = {
    {"minus one", "ints.ini", "minus", 5, 4294967295u},
    {"plus sign", "ints.ini", "plus", 5, 1},
    {"wraps at 32 bits", "ints.ini", "wrap", 5, 1},
    {"negative wraps at 32 bits", "ints.ini", "negwrap", 5, 4294967295u},
    {"stops at a letter", "ints.ini", "stop", 5, 42},
    {"starts with a letter", "ints.ini", "letter", 5, 0},
    {"blanks around the value", "ints.ini", "blanks", 5, 17},
    {"empty value gives the default", "ints.ini", "empty", 5, 5},
    {"0x prefix reads hexadecimal", "ints.ini", "hex", 5, 26},
    {"0X prefix is not one", "ints.ini", "upperhex", 5, 0},
    {"quotes go before the digits are read", "ints.ini", "quoted", 5, 12},
    {"missing key", "ints.ini", "nokey", 5, 5},
    {"negative default", "ints.ini", "nokey", -1, 4294967295u},
    {"missing file", "absent.ini", "minus", 7, 7},
};

TEST_F(ProfileCases, GetPrivateProfileIntAnswers)
{
    for (const IntRow &row : kIntRows) {
        SCOPED_TRACE(row.name);
        std::string path = XplatScratchPath(row.file);
        EXPECT_EQ(GetPrivateProfileIntA("n", row.key, row.def, path.c_str()), row.result);
    }
}

// ---- WritePrivateProfileStringA ---------------------------------------------------------

// One write on a file that Windows itself would have written (CR LF lines, no
// blank lines, no blanks around '='), and the file's bytes afterwards.
struct WriteRow {
    const char *name;
    const char *before;  // null: no file
    size_t beforeLength;
    const char *section;
    const char *key;
    const char *value;
    BOOL result;
    const char *after;  // null: still no file
    size_t afterLength;
};
#define BYTES(literal) literal, sizeof(literal) - 1
#define NO_FILE NULL, 0

const WriteRow kWriteRows[] = {
    {"creates the file", NO_FILE, "App", "key", "string", TRUE, BYTES("[App]\r\nkey=string\r\n")},
    {"empty value", NO_FILE, "App", "key", "", TRUE, BYTES("[App]\r\nkey=\r\n")},
    {"into an empty file", BYTES(""), "a", "k", "v", TRUE, BYTES("[a]\r\nk=v\r\n")},
    {"replaces a value under the name as the file spells it", BYTES("[Vantro]\r\nDIR=C:\\OLD\r\nGROUP=G\r\n"),
     "vantro", "dir", "C:\\NEW", TRUE, BYTES("[Vantro]\r\nDIR=C:\\NEW\r\nGROUP=G\r\n")},
    {"adds a key at the end of its section", BYTES("[a]\r\nx=1\r\n[b]\r\ny=2\r\n"), "a", "z", "3", TRUE,
     BYTES("[a]\r\nx=1\r\nz=3\r\n[b]\r\ny=2\r\n")},
    {"adds a key after a last line without line end", BYTES("[a]\r\nx=1"), "a", "z", "3", TRUE,
     BYTES("[a]\r\nx=1\r\nz=3\r\n")},
    {"adds a section after a last line without line end", BYTES("[a]\r\nx=1"), "b", "y", "2", TRUE,
     BYTES("[a]\r\nx=1\r\n[b]\r\ny=2\r\n")},
    {"blanks around requested names", BYTES("[a]\r\nk=1\r\n"), " a ", " k ", "v", TRUE, BYTES("[a]\r\nk=v\r\n")},
    {"value loses its leading blanks", BYTES("[a]\r\nk=1\r\n"), "a", "k", "  v", TRUE, BYTES("[a]\r\nk=v\r\n")},
    {"key without '=' gets its value", BYTES("[a]\r\nflag\r\n"), "a", "flag", "on", TRUE,
     BYTES("[a]\r\nflag=on\r\n")},
    {"the first of duplicate sections takes a new key", BYTES("[a]\r\nx=1\r\n[A]\r\ny=2\r\n"), "a", "y", "3",
     TRUE, BYTES("[a]\r\nx=1\r\ny=3\r\n[A]\r\ny=2\r\n")},
    {"the same value again", BYTES("[a]\r\nk=v\r\n"), "a", "k", "v", TRUE, BYTES("[a]\r\nk=v\r\n")},
    {"deletes a key", BYTES("[a]\r\nx=1\r\ny=2\r\n"), "a", "x", NULL, TRUE, BYTES("[a]\r\ny=2\r\n")},
    {"deletes a key of a later duplicate section", BYTES("[a]\r\nx=1\r\n[A]\r\ny=2\r\n"), "a", "y", NULL, TRUE,
     BYTES("[a]\r\nx=1\r\n[A]\r\n")},
    {"deleting a missing key", BYTES("[a]\r\nx=1\r\n"), "a", "nokey", NULL, TRUE, BYTES("[a]\r\nx=1\r\n")},
    {"deleting the last key keeps the section", BYTES("[a]\r\nx=1\r\n"), "a", "x", NULL, TRUE, BYTES("[a]\r\n")},
    {"deleting a key of a missing file", NO_FILE, "a", "x", NULL, TRUE, NO_FILE},
    {"deletes a section, ignoring case", BYTES("[a]\r\nx=1\r\n[b]\r\ny=2\r\n[c]\r\nz=3\r\n"), "B", NULL, NULL,
     TRUE, BYTES("[a]\r\nx=1\r\n[c]\r\nz=3\r\n")},
    {"deletes a section whatever the value", BYTES("[a]\r\nx=1\r\n[b]\r\ny=2\r\n"), "a", NULL, "string1", TRUE,
     BYTES("[b]\r\ny=2\r\n")},
    {"deletes the last section", BYTES("[a]\r\nx=1\r\n[b]\r\ny=2\r\n"), "b", NULL, NULL, TRUE,
     BYTES("[a]\r\nx=1\r\n")},
    {"deletes only the first of duplicate sections", BYTES("[a]\r\nx=1\r\n[A]\r\ny=2\r\n"), "a", NULL, NULL,
     TRUE, BYTES("[A]\r\ny=2\r\n")},
    {"deleting a missing section", BYTES("[a]\r\nx=1\r\n"), "b", NULL, NULL, TRUE, BYTES("[a]\r\nx=1\r\n")},
    {"deleting a section of a missing file", NO_FILE, "a", NULL, NULL, TRUE, NO_FILE},
};

TEST_F(ProfileCases, WritePrivateProfileStringEdits)
{
    int n = 0;
    for (const WriteRow &row : kWriteRows) {
        SCOPED_TRACE(row.name);
        // A file name of its own per row, so that no cached copy of an
        // earlier row's file can answer.
        std::string path = XplatScratchPath(("write" + std::to_string(++n) + ".ini").c_str());
        if (row.before) {
            ASSERT_TRUE(XplatWriteFile(path, std::string(row.before, row.beforeLength)));
        }
        BOOL ok = WritePrivateProfileStringA(row.section, row.key, row.value, path.c_str());
        EXPECT_EQ(ok != FALSE, row.result != FALSE);
        std::string after;
        if (!row.after) {
            EXPECT_FALSE(XplatFileExists(path)) << "a file was made";
        } else {
            ASSERT_TRUE(XplatReadFile(path, after));
            EXPECT_EQ(after, std::string(row.after, row.afterLength));
        }
    }
}

TEST_F(ProfileCases, WritePrivateProfileStringBuildsAFile)
{
    std::string path = XplatScratchPath("built.ini");
    std::string bytes;
    struct Step {
        const char *section, *key, *value;
        const char *after;
    } steps[] = {
        {"App1", "key1", "string1", "[App1]\r\nkey1=string1\r\n"},
        {"App1", "key2", "string2", "[App1]\r\nkey1=string1\r\nkey2=string2\r\n"},
        {"App1", "key3", "string3", "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n"},
        {"App2", "key4", "string4",
         "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n"},
        {"App3", "key5", "string5",
         "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n"
         "[App3]\r\nkey5=string5\r\n"},
        {"App1", "key2", NULL,
         "[App1]\r\nkey1=string1\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n"},
        {"App1", "key2", NULL,
         "[App1]\r\nkey1=string1\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n"},
        {"App1", NULL, "string1", "[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n"},
        {"App2", NULL, NULL, "[App3]\r\nkey5=string5\r\n"},
        {"App3", "key5", NULL, "[App3]\r\n"},
    };
    int n = 0;
    for (const Step &step : steps) {
        SCOPED_TRACE("step " + std::to_string(++n));
        EXPECT_TRUE(WritePrivateProfileStringA(step.section, step.key, step.value, path.c_str()));
        ASSERT_TRUE(XplatReadFile(path, bytes));
        EXPECT_EQ(bytes, step.after);
    }
}

TEST_F(ProfileCases, WritePrivateProfileStringRefusals)
{
    std::string path = XplatScratchPath("refused.ini");

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WritePrivateProfileStringA(NULL, "key", "string", path.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(XplatFileExists(path));

    // All three absent asks for a flush, which reports FALSE.
    EXPECT_FALSE(WritePrivateProfileStringA(NULL, NULL, NULL, path.c_str()));

    std::string missing = XplatScratchPath("nofolder\\x.ini");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WritePrivateProfileStringA("App", "key", "string", missing.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);

    // An empty name means the Windows folder itself.
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WritePrivateProfileStringA("App", "key", "string", ""));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
}

TEST_F(ProfileCases, BareFileNameLivesInTheWindowsFolder)
{
    char windows[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    ASSERT_TRUE(n > 0 && n < sizeof windows);
    std::string real = std::string(windows) + "\\vantro_case.ini";
    XplatDeleteFile(real);

    ASSERT_TRUE(WritePrivateProfileStringA("App", "key", "string", "vantro_case.ini"));
    std::string bytes;
    ASSERT_TRUE(XplatReadFile(real, bytes));
    EXPECT_EQ(bytes, "[App]\r\nkey=string\r\n");

    char value[64];
    EXPECT_EQ(GetPrivateProfileStringA("App", "key", "dflt", value, sizeof value, "vantro_case.ini"), 6u);
    EXPECT_STREQ(value, "string");
    EXPECT_EQ(GetPrivateProfileStringA("App", "key", "dflt", value, sizeof value, real.c_str()), 6u);
    EXPECT_STREQ(value, "string");
    EXPECT_TRUE(XplatDeleteFile(real));
}

// An edited file that people wrote by hand keeps what the edits did not touch:
// comments, blank lines and entries without '='.
TEST_F(ProfileCases, EditsKeepOtherLines)
{
    std::string path = XplatScratchPath("Vantro.ini");
    ASSERT_TRUE(XplatWriteFile(path,
                               "; Vantro sites\n"
                               "\n"
                               "[MySites]\n"
                               "Home = ftp.example.com  ; main\n"
                               "Mirror=\"ftp.mirror.example\"\n"
                               "\n"
                               "[_config_]\n"
                               "; mail address used for anonymous logins\n"
                               "MAILADDR = kvrnd66@\n"
                               "flag\n"
                               "\n"
                               "[Other]\n"
                               "a=1\n"));
    const char *file = path.c_str();
    EXPECT_TRUE(WritePrivateProfileStringA("_config_", "MAILADDR", "user@example.com", file));
    EXPECT_TRUE(WritePrivateProfileStringA("_config_", "NEW", "x", file));
    EXPECT_TRUE(WritePrivateProfileStringA("MySites", NULL, NULL, file));
    EXPECT_TRUE(WritePrivateProfileStringA("Other", "a", NULL, file));

    char buffer[256];
    EXPECT_EQ(GetPrivateProfileStringA("_config_", "mailaddr", "dflt", buffer, sizeof buffer, file), 16u);
    EXPECT_STREQ(buffer, "user@example.com");
    EXPECT_EQ(GetPrivateProfileStringA("_config_", "NEW", "dflt", buffer, sizeof buffer, file), 1u);
    EXPECT_STREQ(buffer, "x");
    EXPECT_EQ(GetPrivateProfileStringA("_config_", "flag", "dflt", buffer, sizeof buffer, file), 4u);
    EXPECT_STREQ(buffer, "dflt");
    EXPECT_EQ(GetPrivateProfileStringA("MySites", "Home", "dflt", buffer, sizeof buffer, file), 4u);
    EXPECT_STREQ(buffer, "dflt");
    EXPECT_EQ(GetPrivateProfileStringA("_config_", NULL, "dflt", buffer, sizeof buffer, file), 13u);
    EXPECT_EQ(std::string(buffer, 14), std::string("MAILADDR\0NEW\0", 14));
    EXPECT_EQ(GetPrivateProfileStringA(NULL, NULL, "dflt", buffer, sizeof buffer, file), 15u);
    EXPECT_EQ(std::string(buffer, 16), std::string("_config_\0Other\0", 16));
    EXPECT_EQ(GetPrivateProfileStringA("Other", NULL, "none", buffer, sizeof buffer, file), 4u);
    EXPECT_STREQ(buffer, "none");

    std::string bytes;
    ASSERT_TRUE(XplatReadFile(path, bytes));
    EXPECT_NE(bytes.find("; Vantro sites"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("; mail address used for anonymous logins"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("flag"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("ftp.example.com"), std::string::npos) << bytes;
}

// ---- WIN.INI ------------------------------------------------------------------------------

// The install record's life in WIN.INI: written, read back by every route,
// an empty value told apart from a missing key, and the section deleted.
TEST_F(ProfileCases, WinIniRecordRoundTrip)
{
    const char *kSection = "VantroCaseRecord";
    char buffer[256];
    char windows[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    ASSERT_TRUE(n > 0 && n < sizeof windows);
    std::string winIni = std::string(windows) + "\\win.ini";

    ASSERT_TRUE(WriteProfileStringA(kSection, "DIR", "C:\\Program Files\\Vantro"));
    EXPECT_EQ(GetProfileStringA("vantrocaserecord", "dir", "", buffer, sizeof buffer), 23u);
    EXPECT_STREQ(buffer, "C:\\Program Files\\Vantro");
    EXPECT_EQ(GetPrivateProfileStringA(kSection, "DIR", "", buffer, sizeof buffer, "win.ini"), 23u);
    EXPECT_STREQ(buffer, "C:\\Program Files\\Vantro");
    EXPECT_EQ(GetPrivateProfileStringA(kSection, "DIR", "", buffer, sizeof buffer, "WIN.INI"), 23u);
    EXPECT_EQ(GetPrivateProfileStringA(kSection, "DIR", "", buffer, sizeof buffer, winIni.c_str()), 23u);
    EXPECT_EQ(GetPrivateProfileStringA(kSection, "DIR", "", buffer, sizeof buffer, NULL), 23u);

    // A key present with an empty value is not the default.
    ASSERT_TRUE(WriteProfileStringA(kSection, "GROUP", ""));
    EXPECT_EQ(GetProfileStringA(kSection, "GROUP", "Vantro Pro", buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(GetProfileStringA(kSection, "NOGROUP", "Vantro Pro", buffer, sizeof buffer), 10u);
    EXPECT_STREQ(buffer, "Vantro Pro");

    EXPECT_EQ(GetProfileIntA(kSection, "INSTOPTS", 0), 0u);
    ASSERT_TRUE(WriteProfileStringA(kSection, "INSTOPTS", "12"));
    EXPECT_EQ(GetProfileIntA(kSection, "INSTOPTS", 0), 12u);

    EXPECT_EQ(GetProfileStringA(kSection, NULL, "", buffer, sizeof buffer), 19u);
    EXPECT_EQ(std::string(buffer, 20), std::string("DIR\0GROUP\0INSTOPTS\0", 20));

    ASSERT_TRUE(WriteProfileStringA(kSection, NULL, NULL));
    EXPECT_EQ(GetProfileStringA(kSection, "DIR", "", buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetProfileIntA(kSection, "INSTOPTS", 0), 0u);
    EXPECT_EQ(GetProfileStringA(kSection, "GROUP", "Vantro Pro", buffer, sizeof buffer), 10u);
    std::string bytes;
    ASSERT_TRUE(XplatReadFile(winIni, bytes));
    EXPECT_EQ(bytes.find(kSection), std::string::npos) << bytes;
}

}  // namespace
