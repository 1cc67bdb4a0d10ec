// peinfo: reads what a release needs to know of a 32-bit Windows program (PE32)
// without running it: its headers, imports, resources and version.
//
//   peinfo headers FILE                  one fact a line:
//       machine 0x14c
//       subsystem 2
//       dll-characteristics 0x0140
//       timestamp 0x00000000
//       relocations <bytes of the base relocation table, in a section's data>
//       certificates <bytes of the certificate table (an Authenticode signature)>
//       import KERNEL32.dll              one line per imported DLL, in file order
//       delay-import NAME.dll            one line per DLL loaded on first use
//   peinfo version FILE                  the version resource (type 16, id 1):
//       FILEVERSION a.b.c.d and PRODUCTVERSION a.b.c.d (the fixed part), then
//       each string as Block/Key=Value, e.g. 040904B0/CompanyName=Brenmoor
//   peinfo resource FILE TYPE NAME OUT   writes the bytes of one resource to OUT
//                                        ("-": standard output); TYPE and NAME
//                                        are names (EXE, REMOVEFILE) or #numbers
//                                        (#24, #1); the first language is taken
//
// Exit code 0 when the facts were read, 1 when the file is no PE32 image or
// the thing asked for is missing or malformed, 2 for a wrong command line.
// Every offset read from the file is checked against its size first.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The fixed layout of the PE32 format (Microsoft's PE and COFF description).
const unsigned kDosLfanew = 0x3C;        // file offset of the "PE\0\0" signature
const unsigned kCoffSize = 20;           // COFF file header, after the signature
const unsigned kOptMagicPe32 = 0x10B;
const unsigned kOptSubsystem = 68;       // offsets inside the optional header
const unsigned kOptDllCharacteristics = 70;
const unsigned kOptRvaCount = 92;
const unsigned kOptDirectories = 96;
const unsigned kSectionSize = 40;
const unsigned kDirImport = 1, kDirResource = 2, kDirCertificate = 4, kDirRelocation = 5, kDirDelayImport = 13;
const unsigned kImportDescriptorSize = 20;
const unsigned kDelayDescriptorSize = 32;
const unsigned kVersionType = 16, kVersionId = 1;
const unsigned kFixedSignature = 0xFEEF04BDu;
const unsigned kMaxName = 256;           // DLL, resource and version key names

std::vector<unsigned char> g_file;
unsigned g_pe;          // file offset of the "PE\0\0" signature
unsigned g_opt;         // file offset of the optional header
unsigned g_sections;    // file offset of the first section header
unsigned g_sectionCount;
unsigned g_rvaCount;

// Whether the length bytes at `offset` lie inside the file.
int Inside(unsigned long long offset, unsigned long long length)
{
    return offset <= g_file.size() && length <= g_file.size() - offset;
}

unsigned Word(unsigned offset) { return g_file[offset] | (unsigned)g_file[offset + 1] << 8; }
unsigned Dword(unsigned offset) { return Word(offset) | Word(offset + 2) << 16; }

// Reads the whole file; returns 1, or 0 with a message.
int ReadWholeFile(const char *path)
{
    FILE *in = std::fopen(path, "rb");
    if (!in) {
        std::perror(path);
        return 0;
    }
    unsigned char buf[65536];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, in)) > 0) g_file.insert(g_file.end(), buf, buf + got);
    int ok = !std::ferror(in) && g_file.size() < 0x7FFFFFFFu;
    std::fclose(in);
    if (!ok) std::fprintf(stderr, "peinfo: cannot read %s\n", path);
    return ok;
}

// Finds the headers of a PE32 image; returns 1, or 0 with a message.
int OpenImage(const char *path)
{
    if (!ReadWholeFile(path)) return 0;
    if (!Inside(0, 64) || g_file[0] != 'M' || g_file[1] != 'Z') {
        std::fprintf(stderr, "peinfo: %s: no MZ header\n", path);
        return 0;
    }
    g_pe = Dword(kDosLfanew);
    if (!Inside(g_pe, 4 + kCoffSize) || std::memcmp(&g_file[g_pe], "PE\0\0", 4) != 0) {
        std::fprintf(stderr, "peinfo: %s: no PE signature\n", path);
        return 0;
    }
    unsigned coff = g_pe + 4;
    g_sectionCount = Word(coff + 2);
    unsigned optSize = Word(coff + 16);
    g_opt = coff + kCoffSize;
    if (optSize < kOptDirectories || !Inside(g_opt, optSize) || Word(g_opt) != kOptMagicPe32) {
        std::fprintf(stderr, "peinfo: %s: no PE32 optional header\n", path);
        return 0;
    }
    g_rvaCount = Dword(g_opt + kOptRvaCount);
    if ((unsigned long long)g_rvaCount * 8 > optSize - kOptDirectories) {
        std::fprintf(stderr, "peinfo: %s: data directories past the optional header\n", path);
        return 0;
    }
    g_sections = g_opt + optSize;
    if (!Inside(g_sections, (unsigned long long)g_sectionCount * kSectionSize)) {
        std::fprintf(stderr, "peinfo: %s: section table past the end\n", path);
        return 0;
    }
    return 1;
}

// Data directory `index`: its address (an RVA, a file offset for the
// certificate table) and size; 0 when the image has no such entry.
int Directory(unsigned index, unsigned *address, unsigned *size)
{
    *address = *size = 0;
    if (index >= g_rvaCount) return 0;
    *address = Dword(g_opt + kOptDirectories + index * 8);
    *size = Dword(g_opt + kOptDirectories + index * 8 + 4);
    return *size != 0;
}

// The file offset of `length` bytes at `rva`, all inside one section's data;
// returns 1, or 0 when they are not all in the file.
int RvaToOffset(unsigned rva, unsigned length, unsigned *offset)
{
    for (unsigned i = 0; i < g_sectionCount; i++) {
        unsigned h = g_sections + i * kSectionSize;
        unsigned va = Dword(h + 12), raw = Dword(h + 16), pointer = Dword(h + 20);
        if (rva < va || (unsigned long long)rva - va + length > raw) continue;
        unsigned long long at = (unsigned long long)pointer + (rva - va);
        if (!Inside(at, length)) return 0;
        *offset = (unsigned)at;
        return 1;
    }
    return 0;
}

// Copies the NUL-terminated ANSI name at `rva` into `name`; returns 1, or 0
// when it is outside the image or longer than the buffer.
int NameAt(unsigned rva, char *name, unsigned size)
{
    for (unsigned i = 0; i < size; i++) {
        unsigned at;
        if (!RvaToOffset(rva + i, 1, &at)) return 0;
        name[i] = (char)g_file[at];
        if (!name[i]) return 1;
    }
    return 0;
}

// Prints "LABEL name" for each descriptor of an import table (static or
// delayed): `stride` bytes each, the DLL name's RVA at `nameField`, ended by a
// descriptor of zeros. Returns 1, or 0 when the table is malformed.
int PrintImports(unsigned directory, unsigned stride, unsigned nameField, const char *label)
{
    unsigned rva, size;
    if (!Directory(directory, &rva, &size)) return 1;
    for (unsigned n = 0;; n++) {
        unsigned at;
        if (!RvaToOffset(rva + n * stride, stride, &at)) return 0;
        int zero = 1;
        for (unsigned k = 0; k < stride; k++)
            if (g_file[at + k]) zero = 0;
        if (zero) return 1;
        char name[kMaxName];
        if (!NameAt(Dword(at + nameField), name, sizeof name)) return 0;
        std::printf("%s %s\n", label, name);
    }
}

int Headers(void)
{
    unsigned coff = g_pe + 4;
    std::printf("machine 0x%x\n", Word(coff));
    std::printf("subsystem %u\n", Word(g_opt + kOptSubsystem));
    std::printf("dll-characteristics 0x%04x\n", Word(g_opt + kOptDllCharacteristics));
    std::printf("timestamp 0x%08x\n", Dword(coff + 4));
    unsigned rva, size, at;
    // Relocations count only when the table lies in a section's data.
    if (Directory(kDirRelocation, &rva, &size) && !RvaToOffset(rva, size, &at)) size = 0;
    std::printf("relocations %u\n", size);
    if (Directory(kDirCertificate, &rva, &size) && !Inside(rva, size)) size = 0;
    std::printf("certificates %u\n", size);
    if (!PrintImports(kDirImport, kImportDescriptorSize, 12, "import") ||
        !PrintImports(kDirDelayImport, kDelayDescriptorSize, 4, "delay-import")) {
        std::fprintf(stderr, "peinfo: malformed import table\n");
        return 0;
    }
    return 1;
}

// ---- resources ------------------------------------------------------------------

unsigned g_resRva, g_resSize, g_resBase;  // the resource section's RVA, size, file offset

// Whether a directory entry's name matches `want` ("#24": the id 24; "EXE":
// a name, compared as FindResource does, without regard to case).
int EntryMatches(unsigned entry, const char *want)
{
    unsigned name = Dword(entry);
    if (want[0] == '#') {
        char *end;
        unsigned long id = std::strtoul(want + 1, &end, 10);
        return !(name & 0x80000000u) && !*end && end != want + 1 && id == name;
    }
    if (!(name & 0x80000000u)) return 0;
    unsigned at = name & 0x7FFFFFFFu;
    if ((unsigned long long)at + 2 > g_resSize) return 0;
    unsigned length = Word(g_resBase + at);
    if ((unsigned long long)at + 2 + 2ull * length > g_resSize || length != std::strlen(want)) return 0;
    for (unsigned i = 0; i < length; i++) {
        unsigned c = Word(g_resBase + at + 2 + 2 * i);
        unsigned w = (unsigned char)want[i];
        if (c >= 'a' && c <= 'z') c -= 32;
        if (w >= 'a' && w <= 'z') w -= 32;
        if (c != w) return 0;
    }
    return 1;
}

// The entry of the resource directory at `dir` (an offset in the section)
// whose name matches `want` (NULL: the first entry); returns its offset field,
// or 0xFFFFFFFF when there is none or the directory is malformed.
unsigned FindEntry(unsigned dir, const char *want)
{
    if ((unsigned long long)dir + 16 > g_resSize) return 0xFFFFFFFFu;
    unsigned count = Word(g_resBase + dir + 12) + Word(g_resBase + dir + 14);
    if ((unsigned long long)dir + 16 + 8ull * count > g_resSize) return 0xFFFFFFFFu;
    for (unsigned i = 0; i < count; i++) {
        unsigned entry = g_resBase + dir + 16 + 8 * i;
        if (!want || EntryMatches(entry, want)) return Dword(entry + 4);
    }
    return 0xFFFFFFFFu;
}

// Finds resource TYPE/NAME (its first language); sets the file offset and size
// of its bytes. Returns 1, or 0 when it is missing or malformed.
int FindResource(const char *type, const char *name, unsigned *offset, unsigned *size)
{
    if (!Directory(kDirResource, &g_resRva, &g_resSize) || !RvaToOffset(g_resRva, g_resSize, &g_resBase))
        return 0;
    const char *path[2] = {type, name};
    unsigned dir = 0;
    for (int level = 0; level < 2; level++) {
        unsigned next = FindEntry(dir, path[level]);
        if (next == 0xFFFFFFFFu || !(next & 0x80000000u)) return 0;  // each level is a directory
        dir = next & 0x7FFFFFFFu;
    }
    // The languages' directory: its first entry is the data entry itself.
    unsigned data = FindEntry(dir, NULL);
    if (data == 0xFFFFFFFFu || (data & 0x80000000u) || (unsigned long long)data + 16 > g_resSize) return 0;
    *size = Dword(g_resBase + data + 4);
    return RvaToOffset(Dword(g_resBase + data), *size, offset);
}

int Resource(const char *type, const char *name, const char *out)
{
    unsigned offset, size;
    if (!FindResource(type, name, &offset, &size)) {
        std::fprintf(stderr, "peinfo: no resource %s %s\n", type, name);
        return 0;
    }
    FILE *o = std::strcmp(out, "-") == 0 ? stdout : std::fopen(out, "wb");
    int ok = o && (size == 0 || std::fwrite(&g_file[offset], 1, size, o) == size);
    if (o && o != stdout && std::fclose(o) != 0) ok = 0;
    if (!ok) {
        std::fprintf(stderr, "peinfo: cannot write %s\n", out);
        if (o != stdout) std::remove(out);
    }
    return ok;
}

// ---- the version resource ---------------------------------------------------------
// A tree of blocks: length, value length (in characters for text), type (1:
// text), a NUL-terminated UTF-16 key, padding to 4 bytes, the value, padding,
// then the child blocks up to the block's length.

unsigned Align4(unsigned offset, unsigned start) { return start + ((offset - start + 3) & ~3u); }

// Copies the UTF-16 text of at most `chars` characters at `at` (up to its NUL)
// into `text` as ASCII ('?' for any other character); sets `*end` past the
// NUL. Returns 1, or 0 when it runs past `limit` or the buffer.
int Utf16Text(unsigned at, unsigned limit, unsigned chars, char *text, unsigned size, unsigned *end)
{
    for (unsigned i = 0; i < chars && i + 1 < size; i++) {
        if ((unsigned long long)at + 2 * i + 2 > limit) return 0;
        unsigned c = Word(at + 2 * i);
        if (c == 0) {
            text[i] = 0;
            *end = at + 2 * i + 2;
            return 1;
        }
        text[i] = c < 128 ? (char)c : '?';
    }
    return 0;
}

// Prints the strings of the block at `at`, which ends at `limit`; `block` is
// the name of the string table it is in (empty above the tables). Returns 1,
// or 0 when the tree is malformed.
int PrintVersionBlock(unsigned at, unsigned limit, unsigned start, const char *block, int depth)
{
    if (depth > 4 || (unsigned long long)at + 6 > limit) return 0;
    unsigned length = Word(at), valueLength = Word(at + 2), type = Word(at + 4);
    if (length < 6 || (unsigned long long)at + length > limit) return 0;
    unsigned end = at + length;
    char key[kMaxName];
    unsigned p;
    if (!Utf16Text(at + 6, end, kMaxName, key, sizeof key, &p)) return 0;
    unsigned value = Align4(p, start);
    unsigned valueBytes = type == 1 ? 2 * valueLength : valueLength;
    if (value > end || valueBytes > end - value) return 0;
    if (depth == 2 && type == 1) {
        char text[1024];
        unsigned after;
        if (valueLength == 0) {
            text[0] = 0;
        } else if (!Utf16Text(value, value + valueBytes, valueLength, text, sizeof text, &after)) {
            return 0;
        }
        std::printf("%s/%s=%s\n", block, key, text);
        return 1;
    }
    // StringFileInfo (depth 0 of the children) holds string tables (depth 1),
    // which hold the strings (depth 2); VarFileInfo is passed over.
    if (depth == 0 && std::strcmp(key, "StringFileInfo") != 0) return 1;
    for (unsigned child = Align4(value + valueBytes, start); child + 6 <= end;) {
        unsigned childLength = Word(child);
        if (childLength == 0) break;
        if (!PrintVersionBlock(child, end, start, depth == 1 ? key : block, depth + 1)) return 0;
        child = Align4(child + childLength, start);
    }
    return 1;
}

int Version(void)
{
    char type[16], name[16];
    std::snprintf(type, sizeof type, "#%u", kVersionType);
    std::snprintf(name, sizeof name, "#%u", kVersionId);
    unsigned at, size;
    if (!FindResource(type, name, &at, &size)) {
        std::fprintf(stderr, "peinfo: no version resource\n");
        return 0;
    }
    unsigned end = at + size;
    char key[kMaxName];
    unsigned p;
    if (size < 6 || Word(at) > size || !Utf16Text(at + 6, end, kMaxName, key, sizeof key, &p) ||
        std::strcmp(key, "VS_VERSION_INFO") != 0) {
        std::fprintf(stderr, "peinfo: malformed version resource\n");
        return 0;
    }
    end = at + Word(at);
    unsigned fixed = Align4(p, at);
    if (Word(at + 2) < 52 || (unsigned long long)fixed + 52 > end || Dword(fixed) != kFixedSignature) {
        std::fprintf(stderr, "peinfo: no fixed file information\n");
        return 0;
    }
    unsigned fileMs = Dword(fixed + 8), fileLs = Dword(fixed + 12);
    unsigned productMs = Dword(fixed + 16), productLs = Dword(fixed + 20);
    std::printf("FILEVERSION %u.%u.%u.%u\n", fileMs >> 16, fileMs & 0xFFFF, fileLs >> 16, fileLs & 0xFFFF);
    std::printf("PRODUCTVERSION %u.%u.%u.%u\n", productMs >> 16, productMs & 0xFFFF, productLs >> 16,
                productLs & 0xFFFF);
    for (unsigned child = Align4(fixed + Word(at + 2), at); child + 6 <= end;) {
        unsigned childLength = Word(child);
        if (childLength == 0) break;
        if (!PrintVersionBlock(child, end, at, "", 0)) {
            std::fprintf(stderr, "peinfo: malformed version strings\n");
            return 0;
        }
        child = Align4(child + childLength, at);
    }
    return 1;
}

}  // namespace

int main(int argc, char **argv)
{
    int known = argc == 3 && (std::strcmp(argv[1], "headers") == 0 || std::strcmp(argv[1], "version") == 0);
    known = known || (argc == 6 && std::strcmp(argv[1], "resource") == 0);
    if (!known) {
        std::fprintf(stderr, "usage: peinfo headers FILE\n       peinfo version FILE\n"
                             "       peinfo resource FILE TYPE NAME OUT\n");
        return 2;
    }
    if (!OpenImage(argv[2])) return 1;
    int ok;
    if (std::strcmp(argv[1], "headers") == 0)
        ok = Headers();
    else if (std::strcmp(argv[1], "version") == 0)
        ok = Version();
    else
        ok = Resource(argv[3], argv[4], argv[5]);
    if (std::fflush(stdout) != 0) ok = 0;
    return ok ? 0 : 1;
}
