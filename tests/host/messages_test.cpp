// Message texts, insert formatting and the setup log.
#include <string.h>

#include "app/messages.h"
#include "app/options.h"
#include "machine_fixture.h"
#include "resource.h"

class Messages : public MachineTest {};

TEST_F(Messages, LoadsTextsAndNamesAMissingOne)
{
    char buf[256];
    EXPECT_EQ(LoadMsgString(MSG_INSTALL_OK, buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "Installation successful!\nHappy FTP'ing!");
    EXPECT_EQ(LoadMsgString(MSG_SITES_QUESTION, buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "Do you wish to install additional FTP sites?\nYour old ones will be preserved under "
                      "\"MySites\"\nin the file \"original.ini\".");

    struct Row {
        const char *name;
        int capacity;
        const char *expected;
    } rows[] = {
        {"roomy buffer", 256, "12345 DEBUG - Unable to load string"},
        {"cut to ten", 10, "12345 DEB"},
        {"exact fit", 36, "12345 DEBUG - Unable to load string"},
        {"one short", 35, "12345 DEBUG - Unable to load strin"},
        {"one character", 1, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        memset(buf, 'x', sizeof buf);
        EXPECT_EQ(LoadMsgString(12345, buf, row.capacity), 0);
        EXPECT_STREQ(buf, row.expected);
    }

    memcpy(buf, "untouched", 10);
    EXPECT_EQ(LoadMsgString(MSG_INSTALL_OK, buf, 0), 0);
    EXPECT_STREQ(buf, "untouched");

    // A text that the build lost gets the fallback too, never an empty box.
    HostRemoveString(MSG_CONGRATULATIONS);
    EXPECT_EQ(LoadMsgString(MSG_CONGRATULATIONS, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "10030 DEBUG - Unable to load string");
}

TEST_F(Messages, FillsNumberedInserts)
{
    char tmpl[256], out[FORMAT_BUFFER_SIZE];
    LoadMsgString(MSG_COPYING, tmpl, sizeof tmpl);
    EXPECT_EQ(FormatMsgString(out, tmpl, "C:\\TEMP\\", "tclassic.exe", "C:\\Program Files\\Vantro Pro", "tclassic.exe"),
              (int)strlen("Copying C:\\TEMP\\tclassic.exe to C:\\Program Files\\Vantro Pro\\tclassic.exe"));
    EXPECT_STREQ(out, "Copying C:\\TEMP\\tclassic.exe to C:\\Program Files\\Vantro Pro\\tclassic.exe");

    LoadMsgString(MSG_CREATE_FAILED, tmpl, sizeof tmpl);
    FormatMsgString(out, tmpl, "C:\\Bad\\Folder", 5u);
    EXPECT_STREQ(out, "Creation of C:\\Bad\\Folder failed. (5)");

    LoadMsgString(MSG_COPY_FAILED, tmpl, sizeof tmpl);
    FormatMsgString(out, tmpl, "C:\\TEMP\\WFT1A2B.TMP", "C:\\Vantro\\tcore32.dll", 4294967295u);
    EXPECT_STREQ(out, "Copy of C:\\TEMP\\WFT1A2B.TMP to C:\\Vantro\\tcore32.dll failed. (4294967295)");

    // Inserts may come in any order in a template; arguments stay in insert order.
    FormatMsgString(out, "%2!s! before %1!s!, %3!u!%%", "one", "two", 3u);
    EXPECT_STREQ(out, "two before one, 3%");
}

TEST_F(Messages, RefusesAResultLongerThanTheBuffer)
{
    std::string big(1023, 'a'), bigger(1024, 'b');
    char out[FORMAT_BUFFER_SIZE + 8];
    memset(out, 'x', sizeof out);
    EXPECT_EQ(FormatMsgString(out, "%1!s!", big.c_str()), 1023);
    EXPECT_EQ(std::string(out), big);
    EXPECT_EQ(FormatMsgString(out, "%1!s!", bigger.c_str()), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(out[FORMAT_BUFFER_SIZE], 'x');
}

TEST_F(Messages, LogAppendsLinesOnlyWhenLoggingIsOn)
{
    SetCurrentDirectoryA("C:\\TEMP");
    g_bLogging = 0;
    SetupLog("not written");
    EXPECT_FALSE(HostFileExists("C:\\TEMP\\setup.log"));

    g_bLogging = 1;
    SetupLog("first");
    SetupLog("two\nlines");
    EXPECT_EQ(ReadText("C:\\TEMP\\setup.log"), "first\r\ntwo\r\nlines\r\n");
    SetupLog(std::string(3000, 'z').c_str());
    EXPECT_EQ(ReadText("C:\\TEMP\\setup.log"), "first\r\ntwo\r\nlines\r\n" + std::string(3000, 'z') + "\r\n");

    // A log that cannot be opened is skipped without a word.
    HostFailCall("CreateFileA", 1, ERROR_ACCESS_DENIED);
    SetupLog("lost");
    SetupLog("kept");
    EXPECT_EQ(ReadText("C:\\TEMP\\setup.log").substr(19 + 3000), "\r\nkept\r\n");
    EXPECT_TRUE(HostMessageBoxes().empty());
}
