// The SZDD container of the Windows LZ expansion library (the format of
// Microsoft COMPRESS), described once for the packer (tools/szddpack.cpp) and
// the host's reader (platform/host/szdd_decode.cpp).
//
// Layout:
//   0..7   signature "SZDD" 0x88 0xF0 0x27 0x33
//   8      method: 'A' (the only one the library expands)
//   9      the last character of the original file name (the packed name ends
//          in "_" instead); the library only uses it to rebuild that name
//   10..13 length of the unpacked file, 32-bit little-endian
//   14..   LZSS stream
//
// The LZSS stream is a run of groups: one flag byte, then up to eight items,
// the lowest flag bit describing the first. A set bit is a literal byte; a
// clear bit is a two-byte match "b1 b2": window position b1 | (b2 & 0xF0) << 4
// (12 bits) and length (b2 & 0x0F) + 3 (3 to 18 bytes). The window is a
// 4096-byte ring primed with spaces; every byte written, literal or copied, is
// stored at the write position, which starts at 4096 - 16 and wraps. A match
// copies byte by byte, so it may run into the bytes it is writing (a run), and
// at the start it may read the primed spaces. The stream simply ends after the
// last item; bits of the last flag byte that describe no item are unused.
//
// In bits: a literal costs 9 (8 + its flag bit), a match 17 (16 + its flag bit).
#ifndef VANTRO_SZDD_FORMAT_H
#define VANTRO_SZDD_FORMAT_H

namespace szdd {

constexpr unsigned kSignatureSize = 8;
constexpr unsigned char kSignature[kSignatureSize] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
constexpr unsigned kMethodOffset = 8;
constexpr unsigned char kMethodLz = 'A';
constexpr unsigned kLastCharOffset = 9;
constexpr unsigned kLengthOffset = 10;
constexpr unsigned kHeaderSize = 14;

constexpr unsigned kWindowSize = 4096;
constexpr unsigned kWindowMask = kWindowSize - 1;
constexpr unsigned kFirstWritePos = kWindowSize - 16;
constexpr unsigned char kPrimeByte = ' ';
constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 18;
constexpr unsigned kItemsPerFlag = 8;
constexpr unsigned kLiteralBits = 9;
constexpr unsigned kMatchBits = 17;

// Returns true when the first `size` bytes of `p` begin with the full signature.
inline bool HasSignature(const unsigned char *p, unsigned long size) {
    if (size < kSignatureSize) return false;
    for (unsigned i = 0; i < kSignatureSize; i++)
        if (p[i] != kSignature[i]) return false;
    return true;
}

// Returns the 32-bit little-endian value at p.
inline unsigned long ReadLength(const unsigned char *p) {
    return (unsigned long)p[0] | ((unsigned long)p[1] << 8) | ((unsigned long)p[2] << 16) |
           ((unsigned long)p[3] << 24);
}

// Fills the 14-byte header for a file of `length` bytes whose name ended in `lastChar`.
inline void WriteHeader(unsigned char *p, unsigned char lastChar, unsigned long length) {
    for (unsigned i = 0; i < kSignatureSize; i++) p[i] = kSignature[i];
    p[kMethodOffset] = kMethodLz;
    p[kLastCharOffset] = lastChar;
    for (unsigned i = 0; i < 4; i++) p[kLengthOffset + i] = (unsigned char)(length >> (8 * i));
}

// The window position that holds the byte `distance` (1..4096) bytes before
// output byte `outPos` (bytes before the start are the primed spaces).
inline unsigned MatchPos(unsigned long outPos, unsigned distance) {
    return (unsigned)((kFirstWritePos + outPos - distance) & kWindowMask);
}

// How far back (1..4096) window position `pos` lies when output byte `outPos` is next.
inline unsigned MatchDistance(unsigned long outPos, unsigned pos) {
    unsigned d = (unsigned)((kFirstWritePos + outPos - pos) & kWindowMask);
    return d == 0 ? kWindowSize : d;
}

// Encodes a match item: window position (12 bits) and length (3..18).
inline void EncodeMatch(unsigned char *p, unsigned pos, unsigned length) {
    p[0] = (unsigned char)(pos & 0xFF);
    p[1] = (unsigned char)(((pos >> 4) & 0xF0) | (length - kMinMatch));
}

// Decodes a match item's window position.
inline unsigned DecodeMatchPos(unsigned char b1, unsigned char b2) {
    return (unsigned)b1 | ((unsigned)(b2 & 0xF0) << 4);
}

// Decodes a match item's length (3..18).
inline unsigned DecodeMatchLength(unsigned char b2) { return (unsigned)(b2 & 0x0F) + kMinMatch; }

}  // namespace szdd

#endif
