// How the LZ library expands a packed (SZDD) file that is cut short: what
// LZOpenFileA and LZCopy answer and what they write, for cuts in the header,
// between codes and inside a back-reference. The host's reader must answer as
// the library does, neither more strictly nor more loosely.
#include <stdio.h>
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "platform.h"
#include "shared/xplat.h"

namespace {

// "abcabcabcabc" packed: three literals and one back-reference of nine bytes to
// the window position where "abc" was written (0xFF0).
const unsigned char kPacked[] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', 't', 12, 0, 0, 0,
                                 0x07, 'a', 'b', 'c', 0xF0, 0xF6};

std::string Printable(const std::string &bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 32 && c < 127) {
            out += (char)c;
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

// Expands `source` into `dest` through the library; returns what it answered
// and what the destination holds.
std::string Expand(const std::string &source, const std::string &dest)
{
    OFSTRUCT ofIn, ofOut;
    std::string in = source, out = dest;
    INT hin = LZOpenFileA(&in[0], &ofIn, OF_READ);
    if (hin < 0) return "open " + std::to_string(hin);
    INT hout = LZOpenFileA(&out[0], &ofOut, OF_CREATE | OF_WRITE);
    if (hout < 0) {
        LZClose(hin);
        return "create " + std::to_string(hout);
    }
    LONG copied = LZCopy(hin, hout);
    LZClose(hout);
    LZClose(hin);
    std::string bytes;
    XplatReadFile(dest, bytes);
    return "copy " + std::to_string(copied) + " \"" + Printable(bytes) + "\"";
}

}  // namespace

TEST(LzCases, TruncatedPackedFile)
{
    XplatSetUp();
    std::string seen;
    const size_t cuts[] = {0, 4, 8, 13, 14, 15, 16, 17, 18, 19, 20};
    for (size_t cut : cuts) {
        std::string source = XplatScratchPath("cut.tx_"), dest = XplatScratchPath("cut.txt");
        ASSERT_TRUE(XplatWriteFile(source, std::string((const char *)kPacked, cut)));
        XplatDeleteFile(dest);
        seen += std::to_string(cut) + ": " + Expand(source, dest) + "\n";
    }
    // The whole stream with a declared length shorter and longer than it gives.
    for (unsigned char declared : {5, 100}) {
        std::string bytes((const char *)kPacked, sizeof kPacked);
        bytes[10] = (char)declared;
        std::string source = XplatScratchPath("len.tx_"), dest = XplatScratchPath("len.txt");
        ASSERT_TRUE(XplatWriteFile(source, bytes));
        XplatDeleteFile(dest);
        seen += "declared " + std::to_string(declared) + ": " + Expand(source, dest) + "\n";
    }
    // Seen under Wine's LZ32: a header cut short is copied through as it is; an
    // empty file and a header alone give 0 bytes; a cut stream gives what was
    // decoded before the cut (a half back-reference is dropped); the declared
    // length is not looked at.
    EXPECT_EQ(seen,
              "0: copy 0 \"\"\n"
              "4: copy 4 \"SZDD\"\n"
              "8: copy 8 \"SZDD\\x88\\xF0'3\"\n"
              "13: copy 13 \"SZDD\\x88\\xF0'3At\\x0C\\x00\\x00\"\n"
              "14: copy 0 \"\"\n"
              "15: copy 0 \"\"\n"
              "16: copy 1 \"a\"\n"
              "17: copy 2 \"ab\"\n"
              "18: copy 3 \"abc\"\n"
              "19: copy 3 \"abc\"\n"
              "20: copy 12 \"abcabcabcabc\"\n"
              "declared 5: copy 12 \"abcabcabcabc\"\n"
              "declared 100: copy 12 \"abcabcabcabc\"\n");
}
