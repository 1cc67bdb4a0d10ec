// The SZDD payload format: our packer (tools/szddpack.cpp) against our reader
// (platform/host/szdd_decode.cpp), the packer's optimality against a
// brute-force parse over a simulated window, its size against mscompress, and
// the host's LZOpenFileA / LZCopy / LZClose over the simulated machine.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#define SZDDPACK_NO_MAIN
#include "tools/szddpack.cpp"

#include "machine.h"
#include "payload/szdd_format.h"
#include "platform.h"
#include "szdd_decode.h"

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes FromString(const std::string &s) { return Bytes(s.begin(), s.end()); }

Bytes RandomBytes(size_t n, unsigned seed, unsigned alphabet = 256) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto &c : b) c = (uint8_t)(rng() % alphabet);
    return b;
}

Bytes Text(size_t n) {
    static const char *words[] = {"the ",     "transfer ", "queue ",  "site ",   "folder ", "remote ",
                                  "server, ", "is ",       "of ",     "Vantro ", "\r\n",    "a ",
                                  "file ",    "list ",     "upload ", "when "};
    std::mt19937 rng(7);
    std::string s;
    while (s.size() < n) s += words[rng() % 16];
    s.resize(n);
    return FromString(s);
}

bool ReadWholeFile(const std::string &path, Bytes &out) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return true;
}

// A real PE file: a built stand-in program, NSIS's stub, or one of Wine's libraries.
bool FindPeFile(Bytes &out, std::string &where) {
    const char *candidates[] = {
        VANTRO_BINARY_DIR "/stand-in/files/tclassic.exe",
        "/usr/share/nsis/Stubs/zlib-x86-unicode",
        "/usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll",
        "/usr/lib/x86_64-linux-gnu/wine/i386-windows/kernel32.dll",
        "/usr/lib/wine/i386-windows/kernel32.dll",
    };
    for (const char *c : candidates)
        if (ReadWholeFile(c, out) && out.size() > 2 && out[0] == 'M' && out[1] == 'Z') {
            where = c;
            return true;
        }
    return false;
}

BOOL CollectWrite(void *context, const BYTE *data, DWORD size) {
    Bytes *out = static_cast<Bytes *>(context);
    out->insert(out->end(), data, data + size);
    return TRUE;
}

struct ChunkedSource {
    const Bytes *data;
    size_t pos;
    size_t chunk;
    int failAfterCalls;  // < 0: never fail
    int calls;
};

LONG ChunkedRead(void *context, BYTE *buffer, DWORD size) {
    ChunkedSource *s = static_cast<ChunkedSource *>(context);
    if (s->failAfterCalls >= 0 && s->calls++ >= s->failAfterCalls) return -1;
    size_t n = s->data->size() - s->pos;
    if (n > s->chunk) n = s->chunk;
    if (n > size) n = size;
    if (n) memcpy(buffer, s->data->data() + s->pos, n);
    s->pos += n;
    return (LONG)n;
}

// Expands `in` from memory; returns the reader's result and fills `out`.
LONG ExpandBuffer(const Bytes &in, Bytes &out) {
    out.clear();
    return SzddExpandBuffer(in.data(), (DWORD)in.size(), CollectWrite, &out);
}

// Expands `in` read `chunk` bytes at a time; returns the reader's result and fills `out`.
LONG ExpandStream(const Bytes &in, size_t chunk, Bytes &out) {
    out.clear();
    ChunkedSource s = {&in, 0, chunk, -1, 0};
    return SzddExpand(ChunkedRead, &s, CollectWrite, &out);
}

// ---- round trips --------------------------------------------------------------

struct RoundTripCase {
    const char *name;
    std::function<Bytes()> make;
};

Bytes Repeat(const std::string &unit, size_t n) {
    std::string s;
    while (s.size() < n) s += unit;
    s.resize(n);
    return FromString(s);
}

const std::vector<RoundTripCase> &RoundTripCases() {
    static const std::vector<RoundTripCase> cases = {
        {"one_byte", [] { return FromString("x"); }},
        {"one_space", [] { return FromString(" "); }},
        {"three_spaces_from_window", [] { return FromString("   "); }},
        {"all_spaces_100", [] { return Repeat(" ", 100); }},
        {"all_spaces_5000", [] { return Repeat(" ", 5000); }},
        {"spaces_then_text", [] { return FromString("                  Vantro Pro"); }},
        {"run_of_a_10000", [] { return Repeat("a", 10000); }},
        {"run_period_2", [] { return Repeat("ab", 3001); }},
        {"run_period_17", [] { return Repeat("0123456789abcdefg", 2000); }},
        {"zeros_70000", [] { return Bytes(70000, 0); }},
        {"random_7", [] { return RandomBytes(7, 1); }},
        {"random_8", [] { return RandomBytes(8, 2); }},
        {"random_9", [] { return RandomBytes(9, 3); }},
        {"random_15", [] { return RandomBytes(15, 4); }},
        {"random_16", [] { return RandomBytes(16, 5); }},
        {"random_17", [] { return RandomBytes(17, 6); }},
        {"random_100000", [] { return RandomBytes(100000, 8); }},
        {"small_alphabet_50000", [] { return RandomBytes(50000, 9, 4); }},
        {"text_4095", [] { return Text(4095); }},
        {"text_4096", [] { return Text(4096); }},
        {"text_4097", [] { return Text(4097); }},
        {"text_4080", [] { return Text(4080); }},
        {"text_4112", [] { return Text(4112); }},
        {"text_300000", [] { return Text(300000); }},
        {"repeat_at_distance_4096",
         [] {
             Bytes a = RandomBytes(4096, 10);
             Bytes b = a;
             b.insert(b.end(), a.begin(), a.end());
             return b;
         }},
        {"repeat_at_distance_4097",
         [] {
             Bytes a = RandomBytes(4097, 11);
             Bytes b = a;
             b.insert(b.end(), a.begin(), a.begin() + 100);
             return b;
         }},
        {"signature_only", [] { return Bytes(szdd::kSignature, szdd::kSignature + 8); }},
        {"signature_and_header",
         [] {
             Bytes b(14);
             szdd::WriteHeader(b.data(), 'e', 1234);
             return b;
         }},
        {"packed_file_packed_again",
         [] {
             Bytes t = Text(5000);
             return szddpack::PackSzdd(t.data(), t.size(), 't');
         }},
    };
    return cases;
}

TEST(SzddRoundTrip, PackedThenExpandedGivesTheFile) {
    for (const RoundTripCase &c : RoundTripCases()) {
        SCOPED_TRACE(c.name);
        Bytes data = c.make();
        Bytes packed = szddpack::PackSzdd(data.data(), data.size(), 'e');
        ASSERT_TRUE(szdd::HasSignature(packed.data(), packed.size()));
        EXPECT_EQ('e', packed[szdd::kLastCharOffset]);
        EXPECT_EQ(data.size(), szdd::ReadLength(packed.data() + szdd::kLengthOffset));
        Bytes out;
        EXPECT_EQ((LONG)data.size(), ExpandBuffer(packed, out));
        EXPECT_TRUE(out == data);
        for (size_t chunk : {1, 3, 17, 4096, 1 << 20}) {
            SCOPED_TRACE(chunk);
            EXPECT_EQ((LONG)data.size(), ExpandStream(packed, chunk, out));
            EXPECT_TRUE(out == data);
        }
    }
}

TEST(SzddRoundTrip, PayloadIsPackedOnlyWhenSmallerOrSignatureLike) {
    for (const RoundTripCase &c : RoundTripCases()) {
        SCOPED_TRACE(c.name);
        Bytes data = c.make();
        Bytes packed = szddpack::PackSzdd(data.data(), data.size(), 'e');
        Bytes payload = szddpack::MakePayload(data.data(), data.size(), 'e');
        bool mustPack = szdd::HasSignature(data.data(), data.size());
        if (packed.size() < data.size() || mustPack)
            EXPECT_TRUE(payload == packed);
        else
            EXPECT_TRUE(payload == data);
        Bytes out;
        EXPECT_EQ((LONG)data.size(), ExpandBuffer(payload, out));
        EXPECT_TRUE(out == data);
    }
}

TEST(SzddRoundTrip, RealPeFile) {
    Bytes pe;
    std::string where;
    if (!FindPeFile(pe, where)) GTEST_SKIP() << "no PE file found (build the stand-in product)";
    SCOPED_TRACE(where);
    Bytes packed = szddpack::MakePayload(pe.data(), pe.size(), 'e');
    EXPECT_LT(packed.size(), pe.size());
    Bytes out;
    EXPECT_EQ((LONG)pe.size(), ExpandStream(packed, 2048, out));
    EXPECT_TRUE(out == pe);
}

TEST(SzddRoundTrip, EmptyFileIsStoredEmptyAndExpandsToNothing) {
    Bytes empty;
    Bytes payload = szddpack::MakePayload(empty.data(), 0, 'e');
    EXPECT_TRUE(payload.empty());
    Bytes out;
    // As the library: 0 bytes, which the installer's expansion counts as failure.
    EXPECT_EQ(0, ExpandBuffer(payload, out));
    EXPECT_EQ(0, ExpandStream(payload, 10, out));
    // An SZDD stream of an empty file is valid and gives nothing.
    Bytes packed = szddpack::PackSzdd(empty.data(), 0, 'e');
    EXPECT_EQ(szdd::kHeaderSize, packed.size());
    EXPECT_EQ(0, ExpandBuffer(packed, out));
}

TEST(SzddRoundTrip, LastCharacterOfTheName) {
    struct Row {
        const char *path;
        uint8_t expected;
    } rows[] = {
        {"build/stand-in/files/tclassic.exe", 'e'},
        {"TCore32.cnt", 't'},
        {"C:\\TEMP\\Vantro.INI", 'I'},
        {"dir/noext", 't'},
        {"dir/", 0},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.path);
        EXPECT_EQ(r.expected, szddpack::LastCharOfName(r.path));
    }
}

// ---- pass-through ----------------------------------------------------------------

TEST(SzddPassThrough, UnpackedFilesComeOutUnchanged) {
    struct Row {
        const char *name;
        Bytes data;
    };
    Bytes sevenOfSignature(szdd::kSignature, szdd::kSignature + 7);
    Bytes wrongEighth(szdd::kSignature, szdd::kSignature + 8);
    wrongEighth[7] ^= 1;
    wrongEighth.insert(wrongEighth.end(), 20, 'x');
    Bytes kwaj = FromString("KWAJ\x88\xF0\x27\xD1 a different container");
    std::vector<Row> rows = {
        {"one_byte", FromString("Z")},
        {"ini_text", FromString("[MySites]\r\nCount=0\r\n")},
        {"first_seven_signature_bytes", sevenOfSignature},
        {"signature_with_wrong_eighth_byte", wrongEighth},
        {"other_container", kwaj},
        {"random_70000", RandomBytes(70000, 12)},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        Bytes out;
        EXPECT_EQ((LONG)r.data.size(), ExpandBuffer(r.data, out));
        EXPECT_TRUE(out == r.data);
        for (size_t chunk : {1, 5, 16384}) {
            EXPECT_EQ((LONG)r.data.size(), ExpandStream(r.data, chunk, out));
            EXPECT_TRUE(out == r.data);
        }
    }
}

// ---- damaged input ----------------------------------------------------------------

struct CountingSink {
    size_t written;
};
BOOL CountingWrite(void *context, const BYTE *, DWORD size) {
    static_cast<CountingSink *>(context)->written += size;
    return TRUE;
}

// As the library does (tests/shared/lz_cases.cpp): a header cut short is copied
// through; a cut stream gives what was decoded before the cut, a half
// back-reference dropped.
TEST(SzddDamage, EveryCutOfAPackedFileGivesWhatWasBeforeTheCut) {
    Bytes data = Text(700);
    data.insert(data.end(), 300, ' ');
    Bytes packed = szddpack::PackSzdd(data.data(), data.size(), 'e');
    ASSERT_GT(packed.size(), 40u);
    for (size_t cut = 0; cut < packed.size(); cut++) {
        SCOPED_TRACE(cut);
        Bytes part(packed.begin(), packed.begin() + cut);
        Bytes out;
        LONG r = ExpandBuffer(part, out);
        LONG rs = ExpandStream(part, 3, out);
        EXPECT_EQ(r, rs);
        if (cut < szdd::kHeaderSize) {
            EXPECT_EQ((LONG)cut, r);  // not packed: copied through (0 for nothing)
            EXPECT_TRUE(out == part);
        } else {
            ASSERT_GE(r, 0);
            EXPECT_EQ((size_t)r, out.size());
            EXPECT_LE(out.size(), data.size());
            EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin()));
        }
    }
    Bytes out;
    EXPECT_EQ((LONG)data.size(), ExpandBuffer(packed, out));
}

TEST(SzddDamage, HeaderAndStreamDefects) {
    // Sixteen bytes that do not repeat: two full groups of literals, so that
    // bytes appended after the stream start a group of their own.
    Bytes data = RandomBytes(16, 5);
    const Bytes good = szddpack::PackSzdd(data.data(), data.size(), 'e');
    ASSERT_EQ(szdd::kHeaderSize + 18, good.size());
    struct Row {
        const char *name;
        std::function<void(Bytes &)> damage;
        LONG expected;
    };
    auto setLength = [](Bytes &b, unsigned long n) {
        szdd::WriteHeader(b.data(), b[szdd::kLastCharOffset], n);
    };
    const LONG n = (LONG)data.size();
    std::vector<Row> rows = {
        {"method_B", [](Bytes &b) { b[szdd::kMethodOffset] = 'B'; }, LZERROR_UNKNOWNALG},
        {"method_zero", [](Bytes &b) { b[szdd::kMethodOffset] = 0; }, LZERROR_UNKNOWNALG},
        // The declared length is not looked at.
        {"declared_one_more", [&](Bytes &b) { setLength(b, data.size() + 1); }, n},
        {"declared_one_less", [&](Bytes &b) { setLength(b, data.size() - 1); }, n},
        {"declared_zero", [&](Bytes &b) { setLength(b, 0); }, n},
        {"declared_beyond_2GB", [&](Bytes &b) { setLength(b, 0x80000000ul); }, n},
        // More stream is more output.
        {"extra_literal_after_end",
         [](Bytes &b) {
             b.push_back(0xFF);
             b.push_back('!');
         },
         n + 1},
        {"extra_match_after_end",
         [](Bytes &b) {
             b.push_back(0x00);
             b.push_back(0x00);
             b.push_back(0x0F);
         },
         n + 18},
        // A half back-reference is dropped.
        {"half_a_match_after_end",
         [](Bytes &b) {
             b.push_back(0x00);
             b.push_back(0x00);
         },
         n},
        // The last literal's flag bit cleared: the stream ends inside a match.
        {"last_item_half_a_match", [](Bytes &b) { b[szdd::kHeaderSize + 9] &= 0x7F; }, n - 1},
        {"header_only", [](Bytes &b) { b.resize(szdd::kHeaderSize); }, 0},
        {"header_cut", [](Bytes &b) { b.resize(szdd::kHeaderSize - 1); }, (LONG)szdd::kHeaderSize - 1},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        Bytes bad = good;
        r.damage(bad);
        Bytes out;
        EXPECT_EQ(r.expected, ExpandBuffer(bad, out));
        EXPECT_EQ(r.expected, ExpandStream(bad, 1, out));
        if (r.expected > 0 && bad.size() >= szdd::kHeaderSize) {
            // What the stream gave before the damage is the original's beginning.
            size_t same = std::min<size_t>(out.size(), data.size());
            EXPECT_TRUE(std::equal(out.begin(), out.begin() + (long)same, data.begin()));
        }
    }
}

TEST(SzddDamage, ExtraFlagByteAfterTheLastItemIsAccepted) {
    // The stream may end right after a flag byte that describes nothing.
    Bytes data = RandomBytes(16, 5);
    Bytes packed = szddpack::PackSzdd(data.data(), data.size(), 'e');
    ASSERT_EQ(szdd::kHeaderSize + 18, packed.size());  // two full groups of literals
    packed.push_back(0xFF);
    Bytes out;
    EXPECT_EQ((LONG)data.size(), ExpandBuffer(packed, out));
    EXPECT_TRUE(out == data);
}

TEST(SzddDamage, RandomStreamsReportWhatTheyWrote) {
    std::mt19937 rng(99);
    for (int i = 0; i < 300; i++) {
        Bytes b(szdd::kHeaderSize);
        unsigned long declared = rng() % 3000;
        szdd::WriteHeader(b.data(), 'x', declared);
        Bytes body = RandomBytes(rng() % 600, (unsigned)i);
        b.insert(b.end(), body.begin(), body.end());
        CountingSink sink = {0};
        LONG r = SzddExpandBuffer(b.data(), (DWORD)b.size(), CountingWrite, &sink);
        // Any stream decodes; eight back-references of 18 bytes take 17 bytes.
        ASSERT_GE(r, 0);
        EXPECT_EQ((size_t)r, sink.written);
        EXPECT_LE(sink.written, 9 * body.size());
    }
}

BOOL FailingWrite(void *, const BYTE *, DWORD) { return FALSE; }

TEST(SzddDamage, ReadAndWriteFailures) {
    Bytes data = Text(200000);
    Bytes packed = szddpack::PackSzdd(data.data(), data.size(), 'e');
    Bytes plain = FromString("plain text, not packed");
    struct Row {
        const char *name;
        const Bytes *input;
        int failAfterCalls;
        bool failWrite;
        LONG expected;
    } rows[] = {
        {"packed_read_fails_at_once", &packed, 0, false, LZERROR_READ},
        {"packed_read_fails_in_header", &packed, 3, false, LZERROR_READ},
        {"packed_read_fails_mid_stream", &packed, 40, false, LZERROR_READ},
        {"plain_read_fails_later", &plain, 2, false, LZERROR_READ},
        {"packed_write_fails", &packed, -1, true, LZERROR_WRITE},
        {"plain_write_fails", &plain, -1, true, LZERROR_WRITE},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        ChunkedSource s = {r.input, 0, 5, r.failAfterCalls, 0};
        Bytes out;
        LONG got = r.failWrite ? SzddExpand(ChunkedRead, &s, FailingWrite, nullptr)
                               : SzddExpand(ChunkedRead, &s, CollectWrite, &out);
        EXPECT_EQ(r.expected, got);
    }
}

// ---- optimality ---------------------------------------------------------------------

// Longest match at each position by simulating the decoder's ring itself: for
// every one of the 4096 window positions, copy as the decoder would and count
// how many bytes agree with the file.
std::vector<unsigned> BruteForceLongest(const Bytes &data) {
    std::vector<unsigned> best(data.size(), 0);
    uint8_t ring[szdd::kWindowSize];
    memset(ring, ' ', sizeof ring);
    unsigned w = szdd::kFirstWritePos;
    for (size_t i = 0; i < data.size(); i++) {
        for (unsigned s = 0; s < szdd::kWindowSize; s++) {
            uint8_t r[szdd::kWindowSize];
            memcpy(r, ring, sizeof r);
            unsigned src = s, dst = w, l = 0;
            while (l < szdd::kMaxMatch && i + l < data.size()) {
                uint8_t b = r[src];
                if (b != data[i + l]) break;
                r[dst] = b;
                src = (src + 1) & szdd::kWindowMask;
                dst = (dst + 1) & szdd::kWindowMask;
                l++;
            }
            if (l > best[i]) best[i] = l;
        }
        if (best[i] < szdd::kMinMatch) best[i] = 0;
        ring[w] = data[i];
        w = (w + 1) & szdd::kWindowMask;
    }
    return best;
}

// The fewest bytes any SZDD file of `data` can have, by trying every item at every position.
size_t BruteForceSmallest(const Bytes &data, const std::vector<unsigned> &longest) {
    size_t n = data.size();
    std::vector<uint64_t> bits(n + 1, 0);
    for (size_t i = n; i-- > 0;) {
        bits[i] = 9 + bits[i + 1];
        for (unsigned l = 3; l <= longest[i]; l++) bits[i] = std::min<uint64_t>(bits[i], 17 + bits[i + l]);
    }
    return szdd::kHeaderSize + (size_t)((bits[0] + 7) / 8);
}

TEST(SzddOptimal, MatchesBruteForce) {
    struct Row {
        const char *name;
        Bytes data;
    };
    std::vector<Row> rows = {
        {"spaces_and_letters", FromString("  ab   ab  abab    ba   ab ")},
        {"run_into_itself", FromString("xaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaay")},
        {"binary_alphabet_300", RandomBytes(300, 21, 2)},
        {"four_letters_400", RandomBytes(400, 22, 4)},
        {"text_500", Text(500)},
        {"spaces_prefix", FromString("      hello       hello                        ")},
    };
    // Around the window's edge: a block repeated 4096 and 4097 bytes later.
    Bytes edge = RandomBytes(4120, 23, 3);
    for (size_t k = 0; k < 24; k++) edge[4096 + k] = edge[k];
    rows.push_back({"window_edge", edge});
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<unsigned> brute = BruteForceLongest(r.data);
        std::vector<uint8_t> len;
        std::vector<uint16_t> dist;
        szddpack::FindLongestMatches(r.data.data(), r.data.size(), len, dist);
        for (size_t i = 0; i < r.data.size(); i++) {
            ASSERT_EQ(brute[i], len[i]) << "longest match at " << i;
        }
        Bytes packed = szddpack::PackSzdd(r.data.data(), r.data.size(), 'x');
        EXPECT_EQ(BruteForceSmallest(r.data, brute), packed.size());
    }
}

// ---- against mscompress ---------------------------------------------------------------

bool HaveProgram(const char *name) {
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return system(cmd.c_str()) == 0;
}

TEST(SzddVersusMscompress, NeverLarger) {
    if (!HaveProgram("mscompress")) GTEST_SKIP() << "mscompress is not installed (script/bootstrap installs it)";
    char dirTemplate[] = "/tmp/szdd_mscompress_XXXXXX";
    ASSERT_TRUE(mkdtemp(dirTemplate));
    std::string dir = dirTemplate;
    struct Row {
        const char *name;
        Bytes data;
    };
    std::vector<Row> rows = {
        {"tiny.txt", FromString("hello hello hello world\n")},
        {"spaces.txt", Repeat(" ", 3000)},
        {"text.txt", Text(60000)},
        {"random.bin", RandomBytes(30000, 31)},
        {"runs.dat", Repeat("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", 20000)},
        {"alphabet.dat", RandomBytes(40000, 32, 6)},
    };
    Bytes pe;
    std::string where;
    if (FindPeFile(pe, where)) rows.push_back({"program.exe", pe});
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        std::string path = dir + "/" + r.name;
        {
            std::ofstream f(path, std::ios::binary);
            f.write((const char *)r.data.data(), (std::streamsize)r.data.size());
        }
        std::string cmd = "cd '" + dir + "' && mscompress '" + r.name + "' >/dev/null 2>&1";
        ASSERT_EQ(0, system(cmd.c_str()));
        Bytes theirs;
        ASSERT_TRUE(ReadWholeFile(path + "_", theirs));
        Bytes ours = szddpack::MakePayload(r.data.data(), r.data.size(), szddpack::LastCharOfName(path));
        EXPECT_LE(ours.size(), theirs.size());
        // Theirs expands with our reader too: the same format.
        Bytes out;
        EXPECT_EQ((LONG)r.data.size(), ExpandBuffer(theirs, out));
        EXPECT_TRUE(out == r.data);
        remove(path.c_str());
        remove((path + "_").c_str());
    }
    rmdir(dir.c_str());
}

// ---- the host's LZ32 ------------------------------------------------------------------

class HostLz : public ::testing::Test {
protected:
    void SetUp() override {
        char dirTemplate[] = "/tmp/szdd_lz_XXXXXX";
        ASSERT_TRUE(mkdtemp(dirTemplate));
        root_ = dirTemplate;
        HostReset(root_.c_str());
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + root_ + "'";
        if (!root_.empty()) {
            EXPECT_EQ(0, system(cmd.c_str()));
        }
    }
    // Expands src into dst the way the installer does; returns LZCopy's result
    // (or the failed open's code).
    LONG Expand(const char *src, const char *dst) {
        OFSTRUCT ofs, ofd;
        INT in = LZOpenFileA(const_cast<LPSTR>(src), &ofs, OF_READ);
        if (in < 0) return in;
        INT out = LZOpenFileA(const_cast<LPSTR>(dst), &ofd, OF_CREATE | OF_WRITE);
        if (out < 0) {
            LZClose(in);
            return out;
        }
        LONG r = LZCopy(in, out);
        LZClose(out);
        LZClose(in);
        return r;
    }
    std::string root_;
};

std::string AsString(const Bytes &b) { return std::string(b.begin(), b.end()); }

TEST_F(HostLz, ExpandsThroughTheFileApi) {
    Bytes text = Text(50000);
    Bytes packed = szddpack::PackSzdd(text.data(), text.size(), 'l');
    Bytes damaged(packed.begin(), packed.end() - 1);
    struct Row {
        const char *name;
        std::string content;
        LONG expected;
        std::string expectedOut;
    } rows[] = {
        {"packed", AsString(packed), (LONG)text.size(), AsString(text)},
        {"plain", "[Vantro]\r\nDIR=C:\\VANTRO\r\n", 25, "[Vantro]\r\nDIR=C:\\VANTRO\r\n"},
        {"empty", "", 0, ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_TRUE(HostWriteFile("C:\\TEMP\\WFT1A2B.TMP", r.content));
        EXPECT_EQ(r.expected, Expand("C:\\TEMP\\WFT1A2B.TMP", "C:\\TEMP\\out.dll"));
        std::string got;
        ASSERT_TRUE(HostReadFile("C:\\TEMP\\out.dll", got));
        EXPECT_TRUE(got == r.expectedOut);
    }
    // Cut by its last byte: what was decoded before the cut, as the library gives it.
    ASSERT_TRUE(HostWriteFile("C:\\TEMP\\WFT1A2B.TMP", AsString(damaged)));
    LONG r = Expand("C:\\TEMP\\WFT1A2B.TMP", "C:\\TEMP\\out.dll");
    std::string got;
    ASSERT_TRUE(HostReadFile("C:\\TEMP\\out.dll", got));
    EXPECT_EQ((size_t)r, got.size());
    EXPECT_LT(got.size(), text.size());
    EXPECT_GE(got.size(), text.size() - 18);
    EXPECT_EQ(got, AsString(text).substr(0, got.size()));
}

TEST_F(HostLz, OpenForReadingFallsBackToThePackedName) {
    ASSERT_TRUE(HostWriteFile("C:\\TEMP\\tfind.ex_", "packed"));
    ASSERT_TRUE(HostWriteFile("C:\\TEMP\\noext._", "noext"));
    ASSERT_TRUE(HostWriteFile("C:\\TEMP\\short.h_", "short"));
    struct Row {
        const char *open;
        const char *content;
    } rows[] = {
        {"C:\\TEMP\\tfind.exe", "packed"},
        {"C:\\TEMP\\TFIND.EX_", "packed"},
        {"C:\\TEMP\\noext", "noext"},
        {"C:\\TEMP\\short.h", "short"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.open);
        EXPECT_EQ((LONG)strlen(r.content), Expand(r.open, "C:\\TEMP\\copy"));
        std::string got;
        ASSERT_TRUE(HostReadFile("C:\\TEMP\\copy", got));
        EXPECT_EQ(r.content, got);
    }
    OFSTRUCT of;
    EXPECT_EQ(LZERROR_BADINHANDLE, LZOpenFileA(const_cast<LPSTR>("C:\\TEMP\\missing.txt"), &of, OF_READ));
    EXPECT_NE(0, of.nErrCode);
    // Creating never falls back to another name.
    EXPECT_EQ(LZERROR_BADINHANDLE,
              LZOpenFileA(const_cast<LPSTR>("C:\\NOFOLDER\\x.exe"), &of, OF_CREATE | OF_WRITE));
}

TEST_F(HostLz, HandlesAreCheckedAndLimited) {
    ASSERT_TRUE(HostWriteFile("C:\\TEMP\\a.txt", "abc"));
    OFSTRUCT of;
    INT in = LZOpenFileA(const_cast<LPSTR>("C:\\TEMP\\a.txt"), &of, OF_READ);
    ASSERT_GE(in, 0);
    EXPECT_STREQ("C:\\TEMP\\a.txt", of.szPathName);
    INT out = LZOpenFileA(const_cast<LPSTR>("C:\\TEMP\\b.txt"), &of, OF_CREATE | OF_WRITE);
    ASSERT_GE(out, 0);
    struct Row {
        const char *name;
        INT source, dest;
        LONG expected;
    } rows[] = {
        {"negative_source", -1, out, LZERROR_BADINHANDLE},
        {"source_not_open", in + 5, out, LZERROR_BADINHANDLE},
        {"source_open_for_writing", out, out, LZERROR_BADINHANDLE},
        {"dest_open_for_reading", in, in, LZERROR_BADOUTHANDLE},
        {"dest_far_out_of_range", in, 0x7FFF, LZERROR_BADOUTHANDLE},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(r.expected, LZCopy(r.source, r.dest));
    }
    LZClose(out);
    LZClose(in);
    LZClose(in);      // closing twice does nothing
    LZClose(-3);      // nor does an invalid handle
    LZClose(0x7FFF);

    std::vector<INT> open;
    for (int i = 0; i < 16; i++) {
        INT h = LZOpenFileA(const_cast<LPSTR>("C:\\TEMP\\a.txt"), &of, OF_READ);
        ASSERT_GE(h, 0) << i;
        open.push_back(h);
    }
    EXPECT_EQ(LZERROR_GLOBALLOC, LZOpenFileA(const_cast<LPSTR>("C:\\TEMP\\a.txt"), &of, OF_READ));
    LZClose(open.back());
    open.pop_back();
    INT again = LZOpenFileA(const_cast<LPSTR>("C:\\TEMP\\a.txt"), &of, OF_READ);
    EXPECT_GE(again, 0);
    open.push_back(again);
    for (INT h : open) LZClose(h);
}

TEST_F(HostLz, FileApiFailuresBecomeLzErrors) {
    Bytes text = Text(100000);
    Bytes packed = szddpack::PackSzdd(text.data(), text.size(), 'l');
    ASSERT_TRUE(HostWriteFile("C:\\TEMP\\src.ex_", AsString(packed)));
    struct Row {
        const char *api;
        int nth;
        LONG expected;
    } rows[] = {
        {"ReadFile", 1, LZERROR_READ},
        {"ReadFile", 3, LZERROR_READ},
        {"WriteFile", 1, LZERROR_WRITE},
        {"WriteFile", 2, LZERROR_WRITE},
        {"CreateFileA", 0, LZERROR_BADINHANDLE},
        // The destination does not open: like the LZ library, its packed name is
        // created instead ("dst.ex_").
        {"CreateFileA", 2, (LONG)text.size()},
        {"CreateFileA", 1, (LONG)text.size()},    // the packed-name retry opens the same file
        {"LZCopy", 1, LZERROR_READ},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.api) + " #" + std::to_string(r.nth));
        HostClearFaults();
        HostFailCall(r.api, r.nth, ERROR_WRITE_FAULT);
        EXPECT_EQ(r.expected, Expand("C:\\TEMP\\src.ex_", "C:\\TEMP\\dst.exe"));
    }
    HostClearFaults();
    EXPECT_TRUE(HostFileExists("C:\\TEMP\\dst.ex_"));
    EXPECT_EQ((LONG)text.size(), Expand("C:\\TEMP\\src.ex_", "C:\\TEMP\\dst.exe"));
}

}  // namespace
