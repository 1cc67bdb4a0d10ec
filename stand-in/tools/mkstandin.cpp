// mkstandin: writes the binary data files of the stand-in product into
// stand-in/data/. It is run by hand when one of them should change; its output
// is kept in the repository, so the normal build needs no host tool at all.
//
//   g++ -std=c++17 -O2 -o /tmp/mkstandin stand-in/tools/mkstandin.cpp
//   /tmp/mkstandin stand-in/data
//
// Everything it makes is drawn or computed here (no outside art or samples):
//   icons/<program>.ico   32x32 16-colour icons, one letter on a coloured tile
//   <topic>.hlp           minimal WinHelp 3.1 files: header, internal directory
//                         (B+ tree), |SYSTEM with a title, |TOPIC with one
//                         topic header
//   tcore32.pdf           a one-page PDF 1.4 with a correct cross-reference table
//   linkup/fault/done.wav short 16-bit mono PCM tones
//   seed.dat              1024 deterministic pseudo-random bytes
//   orderfrm.wri/terms.wri  Windows Write documents with default formatting
// The output is deterministic: running it twice gives the same bytes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put8(Bytes& b, unsigned v) { b.push_back(static_cast<uint8_t>(v)); }
void Put16(Bytes& b, unsigned v) { Put8(b, v & 0xFF); Put8(b, (v >> 8) & 0xFF); }
void Put32(Bytes& b, uint32_t v) { Put16(b, v & 0xFFFF); Put16(b, v >> 16); }
void PutStr(Bytes& b, const std::string& s, bool zero) {
  b.insert(b.end(), s.begin(), s.end());
  if (zero) Put8(b, 0);
}
void Set32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

bool WriteFile(const std::string& path, const Bytes& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) { std::fprintf(stderr, "mkstandin: cannot create %s\n", path.c_str()); return false; }
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) std::fprintf(stderr, "mkstandin: cannot write %s\n", path.c_str());
  return ok;
}

// ---------------------------------------------------------------- icons

// 5x7 glyphs, one row per byte, bit 4 is the left column.
struct Glyph { char ch; uint8_t rows[7]; };
const Glyph kGlyphs[] = {
  {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
  {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
  {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
  {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}},
  {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
  {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
  {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
  {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
  {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
};

// The 16 colours of the standard Windows palette, as R, G, B.
const uint8_t kPalette[16][3] = {
  {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128}, {128, 0, 128},
  {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},
  {255, 255, 0}, {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

// A 32x32 4-bit icon: rounded tile of colour `tile` with a black edge and the
// letter `letter` in colour `ink`, three pixels per glyph dot.
Bytes MakeIcon(char letter, int tile, int ink) {
  const Glyph* glyph = nullptr;
  for (const Glyph& g : kGlyphs) if (g.ch == letter) glyph = &g;
  if (!glyph) return {};
  int colour[32][32];
  bool clear[32][32];
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      // Rounded corners: distance from the nearest corner centre.
      int cx = x < 4 ? 4 : (x > 27 ? 27 : x);
      int cy = y < 4 ? 4 : (y > 27 ? 27 : y);
      int dx = x - cx, dy = y - cy;
      int d2 = dx * dx + dy * dy;
      clear[y][x] = d2 > 16;
      bool edge = !clear[y][x] && (d2 > 9 || x == 0 || y == 0 || x == 31 || y == 31);
      colour[y][x] = clear[y][x] ? 0 : (edge ? 0 : tile);
    }
  }
  for (int gy = 0; gy < 7; ++gy)
    for (int gx = 0; gx < 5; ++gx)
      if (glyph->rows[gy] & (0x10 >> gx))
        for (int sy = 0; sy < 3; ++sy)
          for (int sx = 0; sx < 3; ++sx) colour[6 + gy * 3 + sy][9 + gx * 3 + sx] = ink;

  const uint32_t xorSize = 32 * 16, andSize = 32 * 4;
  const uint32_t imageSize = 40 + 16 * 4 + xorSize + andSize;
  Bytes b;
  Put16(b, 0); Put16(b, 1); Put16(b, 1);                  // ICONDIR: one icon
  Put8(b, 32); Put8(b, 32); Put8(b, 16); Put8(b, 0);       // 32x32, 16 colours
  Put16(b, 1); Put16(b, 4); Put32(b, imageSize); Put32(b, 22);
  Put32(b, 40); Put32(b, 32); Put32(b, 64); Put16(b, 1); Put16(b, 4);  // BITMAPINFOHEADER
  Put32(b, 0); Put32(b, xorSize + andSize); Put32(b, 0); Put32(b, 0); Put32(b, 0); Put32(b, 0);
  for (const auto& c : kPalette) { Put8(b, c[2]); Put8(b, c[1]); Put8(b, c[0]); Put8(b, 0); }
  for (int y = 31; y >= 0; --y)                            // colour bits, bottom-up
    for (int x = 0; x < 32; x += 2) Put8(b, (colour[y][x] << 4) | colour[y][x + 1]);
  for (int y = 31; y >= 0; --y)                            // mask: 1 = transparent
    for (int x = 0; x < 32; x += 8) {
      unsigned m = 0;
      for (int i = 0; i < 8; ++i) if (clear[y][x + i]) m |= 0x80 >> i;
      Put8(b, m);
    }
  return b;
}

// ---------------------------------------------------------------- WinHelp

// Internal file of a help file: 9-byte header (reserved, used, flags) + data.
void PutInternalFile(Bytes& out, const Bytes& data) {
  Put32(out, static_cast<uint32_t>(data.size() + 9));
  Put32(out, static_cast<uint32_t>(data.size()));
  Put8(out, 4);
  out.insert(out.end(), data.begin(), data.end());
}

// A WinHelp 3.1 file (version 1.21, uncompressed topics) with one topic
// header whose title is `title`.
Bytes MakeHelp(const std::string& title) {
  // |SYSTEM: header then typed records (title, copyright).
  Bytes system;
  Put16(system, 0x036C); Put16(system, 21); Put16(system, 1);
  Put32(system, 0x3A000000);                               // fixed build date
  Put16(system, 0);                                        // no compression
  auto record = [&system](unsigned type, const Bytes& data) {
    Put16(system, type); Put16(system, static_cast<unsigned>(data.size()));
    system.insert(system.end(), data.begin(), data.end());
  };
  Bytes t; PutStr(t, title, true); record(1, t);
  Bytes c; PutStr(c, "Test material of the Vantro Pro stand-in", true); record(2, c);
  // |TOPIC: one 4096-byte block: the block header, then one topic header link
  // (record type 2) that carries the topic's title. The topic has no
  // paragraphs: the file is complete as a container, not as reading matter.
  Bytes topic;
  Put32(topic, 12);                                        // last topic link
  Put32(topic, 12);                                        // first topic link
  Put32(topic, 12);                                        // last topic header
  Bytes hdr1;                                              // TOPICHEADER
  Bytes hdr2; PutStr(hdr2, title, true);
  const uint32_t linkSize = static_cast<uint32_t>(21 + 28 + hdr2.size());
  Put32(hdr1, linkSize);                                   // size of the topic
  Put32(hdr1, 0xFFFFFFFF); Put32(hdr1, 0xFFFFFFFF);        // no browse sequence
  Put32(hdr1, 0);                                          // topic number
  Put32(hdr1, 0xFFFFFFFF); Put32(hdr1, 0xFFFFFFFF);        // no non-scrolling / scrolling region
  Put32(hdr1, 0xFFFFFFFF);                                 // no next topic
  Put32(topic, linkSize); Put32(topic, static_cast<uint32_t>(hdr2.size()));
  Put32(topic, 0xFFFFFFFF); Put32(topic, 0xFFFFFFFF);      // no previous / next link
  Put32(topic, static_cast<uint32_t>(21 + hdr1.size())); Put8(topic, 2);
  topic.insert(topic.end(), hdr1.begin(), hdr1.end());
  topic.insert(topic.end(), hdr2.begin(), hdr2.end());
  topic.resize(4096, 0);

  // Assemble: header, |SYSTEM, |TOPIC, then the directory.
  Bytes out(16, 0);
  const uint32_t systemAt = static_cast<uint32_t>(out.size());
  PutInternalFile(out, system);
  const uint32_t topicAt = static_cast<uint32_t>(out.size());
  PutInternalFile(out, topic);
  const uint32_t dirAt = static_cast<uint32_t>(out.size());

  // The directory: a B+ tree of one 1024-byte leaf page, names in byte order.
  Bytes page;
  Bytes entries;
  PutStr(entries, "|SYSTEM", true); Put32(entries, systemAt);
  PutStr(entries, "|TOPIC", true); Put32(entries, topicAt);
  Put16(page, static_cast<unsigned>(1024 - 8 - entries.size()));  // free bytes
  Put16(page, 2); Put16(page, 0xFFFF); Put16(page, 0xFFFF);
  page.insert(page.end(), entries.begin(), entries.end());
  page.resize(1024, 0);
  Bytes dir;
  Put16(dir, 0x293B); Put16(dir, 0x0402); Put16(dir, 1024);
  std::string structure = "z4";
  structure.resize(16, '\0');
  PutStr(dir, structure, false);
  Put16(dir, 0); Put16(dir, 0); Put16(dir, 0); Put16(dir, 0xFFFF);
  Put16(dir, 1); Put16(dir, 1); Put32(dir, 2);
  dir.insert(dir.end(), page.begin(), page.end());
  PutInternalFile(out, dir);

  Set32(out, 0, 0x00035F3F);
  Set32(out, 4, dirAt);
  Set32(out, 8, 0xFFFFFFFF);
  Set32(out, 12, static_cast<uint32_t>(out.size()));
  return out;
}

// ---------------------------------------------------------------- PDF

Bytes MakePdf(const std::string& title, const std::vector<std::string>& lines) {
  std::string content = "BT\n/F1 20 Tf\n72 720 Td\n(" + title + ") Tj\n/F1 12 Tf\n";
  for (const std::string& l : lines) content += "0 -22 Td\n(" + l + ") Tj\n";
  content += "ET\n";
  std::vector<std::string> objects = {
    "<< /Type /Catalog /Pages 2 0 R >>",
    "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] "
    "/Resources << /Font << /F1 4 0 R >> >> /Contents 5 0 R >>",
    "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream",
    "<< /Title (" + title + ") /Producer (mkstandin) >>",
  };
  std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t off : offsets) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", off);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
         " /Root 1 0 R /Info 6 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return Bytes(pdf.begin(), pdf.end());
}

// ---------------------------------------------------------------- WAV

// 16-bit mono PCM at 11025 Hz: the tones one after the other, each `ms` long,
// with a short fade at both ends of each tone so that nothing clicks.
Bytes MakeWave(const std::vector<double>& tones, int ms) {
  const int rate = 11025;
  const int perTone = rate * ms / 1000, fade = rate / 100;
  std::vector<int16_t> samples;
  for (double hz : tones)
    for (int i = 0; i < perTone; ++i) {
      double gain = 1.0;
      if (i < fade) gain = static_cast<double>(i) / fade;
      if (perTone - i < fade) gain = static_cast<double>(perTone - i) / fade;
      double v = 0.4 * gain * std::sin(2.0 * M_PI * hz * i / rate);
      samples.push_back(static_cast<int16_t>(std::lround(v * 32767.0)));
    }
  const uint32_t dataSize = static_cast<uint32_t>(samples.size() * 2);
  Bytes b;
  PutStr(b, "RIFF", false); Put32(b, 36 + dataSize); PutStr(b, "WAVE", false);
  PutStr(b, "fmt ", false); Put32(b, 16); Put16(b, 1); Put16(b, 1);
  Put32(b, rate); Put32(b, rate * 2); Put16(b, 2); Put16(b, 16);
  PutStr(b, "data", false); Put32(b, dataSize);
  for (int16_t s : samples) Put16(b, static_cast<uint16_t>(s));
  return b;
}

// ---------------------------------------------------------------- seed data

Bytes MakeSeed(size_t size) {
  uint32_t x = 0x56414E54;                                 // fixed start: same bytes every run
  Bytes b;
  while (b.size() < size) {
    x ^= x << 13; x ^= x >> 17; x ^= x << 5;
    Put8(b, x & 0xFF);
  }
  return b;
}

// ---------------------------------------------------------------- Write

// A Windows Write document: 128-byte header, the text (paragraphs end in
// CR LF), one character and one paragraph property page, each with a single
// run that keeps the default formatting.
Bytes MakeWrite(const std::vector<std::string>& paragraphs) {
  std::string text;
  for (const std::string& p : paragraphs) text += p + "\r\n";
  const uint32_t fcMac = static_cast<uint32_t>(128 + text.size());
  const unsigned pnChar = (fcMac + 127) / 128, pnPara = pnChar + 1, pnEnd = pnPara + 1;
  Bytes b;
  Put16(b, 0xBE31); Put16(b, 0); Put16(b, 0xAB00);
  Put16(b, 0); Put16(b, 0); Put16(b, 0); Put16(b, 0);
  Put32(b, fcMac);
  Put16(b, pnPara);                                        // paragraph properties
  Put16(b, pnEnd); Put16(b, pnEnd); Put16(b, pnEnd); Put16(b, pnEnd);  // no footnotes, sections, pages
  Put16(b, pnEnd);                                         // no font table
  b.resize(96, 0);
  Put16(b, pnEnd);                                         // pages in the file
  b.resize(128, 0);
  PutStr(b, text, false);
  b.resize(pnChar * 128, 0);
  for (int i = 0; i < 2; ++i) {                            // character page, then paragraph page
    Bytes page;
    Put32(page, 128);
    Put32(page, fcMac); Put16(page, 0xFFFF);               // one run with default properties
    page.resize(127, 0);
    Put8(page, 1);
    b.insert(b.end(), page.begin(), page.end());
  }
  return b;
}

struct IconRow { const char* name; char letter; int tile; int ink; };
const IconRow kIcons[] = {
  {"tclassic", 'C', 4, 15}, {"tscript", 'S', 2, 15}, {"tfind", 'F', 6, 15},
  {"tsync", 'Y', 5, 15},    {"tqueue", 'Q', 1, 15},  {"turl", 'U', 3, 15},
  {"tlink", 'L', 12, 11},   {"uninst32", 'X', 8, 15}, {"tsched", 'T', 9, 15},
};

struct HelpRow { const char* name; const char* title; };
const HelpRow kHelp[] = {
  {"tcore32", "Vantro Pro Help"},
  {"navhelp", "Vantro Pro Explorer Help"},
  {"tscript", "Vantro Scripting Help"},
  {"tfind", "Vantro Find Help"},
  {"tsync", "Vantro Synchronize Help"},
  {"tqueue", "Vantro Queue Help"},
  {"tlink", "Vantro Icon Placement Help"},
  {"secsvc", "Vantro Secure Transfer Help"},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: mkstandin <stand-in/data folder>\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = true;
  for (const IconRow& r : kIcons)
    ok = WriteFile(dir + "/icons/" + r.name + ".ico", MakeIcon(r.letter, r.tile, r.ink)) && ok;
  for (const HelpRow& r : kHelp)
    ok = WriteFile(dir + "/" + r.name + ".hlp", MakeHelp(r.title)) && ok;
  ok = WriteFile(dir + "/tcore32.pdf",
                 MakePdf("Vantro Pro Manual",
                         {"Stand-in manual of the made-up Vantro Pro FTP client.",
                          "It exists so that installer tests carry a real PDF file."})) && ok;
  ok = WriteFile(dir + "/linkup.wav", MakeWave({660.0, 880.0}, 150)) && ok;
  ok = WriteFile(dir + "/fault.wav", MakeWave({220.0}, 300)) && ok;
  ok = WriteFile(dir + "/done.wav", MakeWave({880.0}, 200)) && ok;
  ok = WriteFile(dir + "/seed.dat", MakeSeed(1024)) && ok;
  ok = WriteFile(dir + "/orderfrm.wri",
                 MakeWrite({"Vantro Pro Order Form", "",
                            "Stand-in order form of the made-up Vantro Pro FTP client.",
                            "Test material: there is nothing to order."})) && ok;
  ok = WriteFile(dir + "/terms.wri",
                 MakeWrite({"Vantro Pro Licence Terms", "",
                            "Stand-in licence text of the made-up Vantro Pro FTP client.",
                            "Test material: it grants and restricts nothing."})) && ok;
  return ok ? 0 : 1;
}
