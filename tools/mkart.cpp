// mkart: draws the installer's own art into a folder.
//
//   mkart <folder>
//
// app_main.ico  the class icon: 16x16, 32x32 and 48x48 at 4 bits
// vn_bmp.bmp    the product logo, 153 x 46, 8 bits per pixel, run-length encoded
// brenmoor.bmp  the maker's logo, 151 x 118, 8 bits per pixel, run-length encoded
//
// The art is simple on purpose: a mark (a folder with an arrow across it, for
// files going somewhere) and the names in a small built-in pixel font.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Rgb {
    uint8_t r, g, b;
};

// The palette every image uses; indexes are the colours below.
enum Colour { White, Navy, Gold, Teal, Black, Sky, Grey, Red, kColours };
const Rgb kPalette[kColours] = {{255, 255, 255}, {0, 0, 128}, {255, 200, 0}, {0, 128, 128},
                                {0, 0, 0},       {96, 160, 255}, {192, 192, 192}, {200, 0, 0}};

struct Image {
    int w, h;
    std::vector<uint8_t> px;  // palette index per pixel, top row first
    Image(int w_, int h_, uint8_t fill) : w(w_), h(h_), px((size_t)(w_ * h_), fill) {}
    void Set(int x, int y, uint8_t c)
    {
        if (x >= 0 && y >= 0 && x < w && y < h) px[(size_t)(y * w + x)] = c;
    }
    void Fill(int x0, int y0, int x1, int y1, uint8_t c)
    {
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++) Set(x, y, c);
    }
};

// A 5x7 pixel font for the letters the names need.
struct Glyph {
    char c;
    const char *rows[7];
};
const Glyph kFont[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {' ', {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
};

// Draws text with each font pixel as a scale x scale block; returns the width.
int Text(Image &img, int x, int y, const char *s, int scale, uint8_t c)
{
    int cx = x;
    for (; *s; s++) {
        for (const Glyph &g : kFont) {
            if (g.c != *s) continue;
            for (int r = 0; r < 7; r++)
                for (int k = 0; k < 5; k++)
                    if (g.rows[r][k] == '#') img.Fill(cx + k * scale, y + r * scale, cx + (k + 1) * scale, y + (r + 1) * scale, c);
        }
        cx += 6 * scale;
    }
    return cx - x - scale;
}

// The mark in a size x size square at (x, y): a gold folder, a navy arrow across.
void Mark(Image &img, int x, int y, int size)
{
    int tab = size / 3;
    img.Fill(x + size / 10, y + size / 5, x + size / 10 + tab, y + size * 3 / 10, Gold);
    img.Fill(x + size / 10, y + size * 3 / 10, x + size * 9 / 10, y + size * 8 / 10, Gold);
    int mid = y + size * 11 / 20;
    int thick = size / 10 > 0 ? size / 10 : 1;
    img.Fill(x, mid - thick / 2, x + size * 3 / 4, mid - thick / 2 + thick, Navy);
    for (int i = 0; i <= size / 4; i++) {
        int ax = x + size * 3 / 4 - size / 8 + i / 2;
        img.Fill(ax, mid - size / 4 + i, ax + 1, mid + size / 4 - i + 1, Navy);
    }
}

void Put16(std::string &out, unsigned v)
{
    out += (char)(v & 0xFF);
    out += (char)((v >> 8) & 0xFF);
}
void Put32(std::string &out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// BITMAPINFOHEADER, palette and pixels (bottom-up, rows padded to 4 bytes); for an
// icon image the height is doubled and the AND mask (all opaque) follows.
std::string Dib(const Image &img, int bpp, bool icon)
{
    int colours = 1 << bpp;
    std::string out;
    Put32(out, 40);
    Put32(out, (uint32_t)img.w);
    Put32(out, (uint32_t)(icon ? img.h * 2 : img.h));
    Put16(out, 1);
    Put16(out, (unsigned)bpp);
    Put32(out, 0);
    int stride = ((img.w * bpp + 31) / 32) * 4;
    int maskStride = ((img.w + 31) / 32) * 4;
    Put32(out, (uint32_t)(stride * img.h + (icon ? maskStride * img.h : 0)));
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, (uint32_t)colours);
    Put32(out, 0);
    for (int i = 0; i < colours; i++) {
        Rgb c = i < kColours ? kPalette[i] : Rgb{0, 0, 0};
        out += (char)c.b;
        out += (char)c.g;
        out += (char)c.r;
        out += (char)0;
    }
    for (int y = img.h - 1; y >= 0; y--) {
        std::string row((size_t)stride, '\0');
        for (int x = 0; x < img.w; x++) {
            uint8_t v = img.px[(size_t)(y * img.w + x)];
            if (bpp == 8)
                row[(size_t)x] = (char)v;
            else
                row[(size_t)(x / 2)] = (char)(row[(size_t)(x / 2)] | (x % 2 ? v : v << 4));
        }
        out += row;
    }
    if (icon) out += std::string((size_t)(maskStride * img.h), '\0');
    return out;
}

bool Save(const std::string &path, const std::string &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

// The pixels of an 8-bit DIB as BI_RLE8 runs: bottom-up rows, each a series of
// (count, index) pairs ending with (0, 0), and (0, 1) at the end. The logos are
// flat areas of a few colours, so runs take a fraction of the plain rows.
std::string Rle8(const Image &img)
{
    std::string out;
    for (int y = img.h - 1; y >= 0; y--) {
        const uint8_t *row = &img.px[(size_t)(y * img.w)];
        for (int x = 0; x < img.w;) {
            int n = 1;
            while (x + n < img.w && n < 255 && row[x + n] == row[x]) n++;
            out += (char)n;
            out += (char)row[x];
            x += n;
        }
        out += '\0';
        out += (y == 0) ? '\1' : '\0';
    }
    return out;
}

// A logo: BITMAPINFOHEADER with BI_RLE8 and only the colours in use, then runs.
std::string Bmp(const Image &img)
{
    std::string pixels = Rle8(img);
    std::string dib;
    Put32(dib, 40);
    Put32(dib, (uint32_t)img.w);
    Put32(dib, (uint32_t)img.h);
    Put16(dib, 1);
    Put16(dib, 8);
    Put32(dib, 1);  // BI_RLE8
    Put32(dib, (uint32_t)pixels.size());
    Put32(dib, 2835);
    Put32(dib, 2835);
    Put32(dib, (uint32_t)kColours);
    Put32(dib, 0);
    for (const Rgb &c : kPalette) {
        dib += (char)c.b;
        dib += (char)c.g;
        dib += (char)c.r;
        dib += (char)0;
    }
    std::string out = "BM";
    Put32(out, (uint32_t)(14 + dib.size() + pixels.size()));
    Put32(out, 0);
    Put32(out, (uint32_t)(14 + dib.size()));
    return out + dib + pixels;
}

std::string Ico()
{
    struct Entry {
        int size, bpp;
    };
    // The mark has fewer than 16 colours, so 4-bit images show exactly what
    // 8-bit ones would, at less than half the size.
    const Entry entries[] = {{16, 4}, {32, 4}, {48, 4}};
    std::vector<std::string> images;
    for (const Entry &e : entries) {
        Image img(e.size, e.size, Teal);
        Mark(img, 0, 0, e.size);
        images.push_back(Dib(img, e.bpp, true));
    }
    std::string out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, (unsigned)images.size());
    uint32_t offset = 6 + 16 * (uint32_t)images.size();
    for (size_t i = 0; i < images.size(); i++) {
        out += (char)(entries[i].size == 256 ? 0 : entries[i].size);
        out += (char)entries[i].size;
        out += (char)(entries[i].bpp == 4 ? 16 : 0);
        out += (char)0;
        Put16(out, 1);
        Put16(out, (unsigned)entries[i].bpp);
        Put32(out, (uint32_t)images[i].size());
        Put32(out, offset);
        offset += (uint32_t)images[i].size();
    }
    for (auto &img : images) out += img;
    return out;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: mkart <folder>\n");
        return 2;
    }
    std::string dir = argv[1];

    // Product logo: white ground, navy frame, the mark and the name.
    Image vn(153, 46, White);
    vn.Fill(0, 0, 153, 2, Navy);
    vn.Fill(0, 44, 153, 46, Navy);
    vn.Fill(0, 0, 2, 46, Navy);
    vn.Fill(151, 0, 153, 46, Navy);
    Mark(vn, 6, 5, 36);
    Text(vn, 48, 9, "VANTRO", 2, Navy);
    Text(vn, 48, 27, "PRO", 2, Red);

    // Maker's logo: navy ground, a gold mark, the name in white.
    Image bm(151, 118, Navy);
    bm.Fill(0, 0, 151, 3, Gold);
    bm.Fill(0, 115, 151, 118, Gold);
    Image markArea(60, 60, Navy);
    Mark(bm, 45, 12, 60);
    Text(bm, 28, 86, "BRENMOOR", 2, White);

    bool ok = Save(dir + "/vn_bmp.bmp", Bmp(vn)) && Save(dir + "/brenmoor.bmp", Bmp(bm)) &&
              Save(dir + "/app_main.ico", Ico());
    if (!ok) fprintf(stderr, "mkart: cannot write into %s\n", dir.c_str());
    return ok ? 0 : 1;
}
