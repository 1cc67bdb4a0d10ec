// szddpack <input> <output>: packs one payload file in the SZDD format that the
// Windows LZ expansion library expands (payload/szdd_format.h).
//
// The packing is an optimal parse: of all the ways the format can spell the
// file, it writes one with the fewest bits (9 per literal, 17 per match), and
// so, flag bytes included, the fewest bytes. Longest matches come from a binary
// tree of the suffixes inside the 4096-byte window (the primed spaces before
// the file included); since every shorter length at the same distance is a
// match too, the longest match at each position is all the parse needs, and a
// backward pass over the positions picks the cheapest item at each.
//
// A file that packing would not make smaller is written unchanged: the library
// copies an unpacked file through as it is. The exception is a file that
// itself begins with the SZDD signature: the library would take it for a
// packed file, so it is always packed.
//
// The byte for the last character of the original name takes the last
// character of the input file's name, as COMPRESS -r records it, so that the
// library's GetExpandedName rebuilds "tclassic.exe" from "tclassic.ex_".
//
// Built with SZDDPACK_NO_MAIN defined, this file is a library of the functions
// below (the host tests and the round-trip fuzzer include it that way).
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "payload/payload_crc.h"
#include "payload/szdd_format.h"

namespace szddpack {

// Longest match at every position of `data`: len[i] (0 when shorter than 3,
// else 3..18, never past the end) and the distance dist[i] (1..4096) it lies back.
inline void FindLongestMatches(const uint8_t *data, size_t n, std::vector<uint8_t> &len,
                               std::vector<uint16_t> &dist) {
    const size_t P = szdd::kWindowSize;   // primed spaces before the file
    const size_t W = szdd::kWindowSize;   // farthest distance
    const size_t C = 2 * szdd::kWindowSize;  // tree slots, > W so a node at distance W is intact
    const int32_t kNone = -1;
    len.assign(n, 0);
    dist.assign(n, 0);
    if (n < szdd::kMinMatch) return;

    std::vector<uint8_t> x(P + n);
    std::memset(x.data(), szdd::kPrimeByte, P);
    std::memcpy(x.data() + P, data, n);
    const size_t end = x.size();

    // One tree per two-byte prefix; children are always older than their parent.
    std::vector<int32_t> head(65536, kNone);
    std::vector<int32_t> son(2 * C, kNone);

    for (size_t cur = 0; cur < end; cur++) {
        size_t lenLimit = end - cur;
        if (lenLimit > szdd::kMaxMatch) lenLimit = szdd::kMaxMatch;
        if (lenLimit < szdd::kMinMatch) break;  // no later position can match either
        unsigned key = x[cur] | (unsigned)x[cur + 1] << 8;
        int32_t curMatch = head[key];
        head[key] = (int32_t)cur;
        int32_t *ptrLeft = &son[2 * (cur % C)];       // subtree of smaller suffixes
        int32_t *ptrRight = &son[2 * (cur % C) + 1];  // subtree of greater suffixes
        size_t lenLeft = 0, lenRight = 0, best = 0, bestDist = 0;
        for (;;) {
            if (curMatch == kNone || cur - (size_t)curMatch > W) {
                *ptrLeft = *ptrRight = kNone;
                break;
            }
            int32_t *pair = &son[2 * ((size_t)curMatch % C)];
            size_t l = lenLeft < lenRight ? lenLeft : lenRight;
            const uint8_t *a = &x[(size_t)curMatch];
            const uint8_t *b = &x[cur];
            while (l < lenLimit && a[l] == b[l]) l++;
            if (l > best) {
                best = l;
                bestDist = cur - (size_t)curMatch;
            }
            if (l == lenLimit) {
                // The older suffix agrees as far as any match can reach: the new
                // one takes its place in the tree.
                *ptrLeft = pair[0];
                *ptrRight = pair[1];
                break;
            }
            if (a[l] < b[l]) {
                *ptrLeft = curMatch;
                ptrLeft = &pair[1];
                curMatch = *ptrLeft;
                lenLeft = l;
            } else {
                *ptrRight = curMatch;
                ptrRight = &pair[0];
                curMatch = *ptrRight;
                lenRight = l;
            }
        }
        if (cur >= P && best >= szdd::kMinMatch) {
            len[cur - P] = (uint8_t)best;
            dist[cur - P] = (uint16_t)bestDist;
        }
    }
}

// The fewest bits any SZDD stream for these bytes can have, and the choice at
// each position that achieves it (0 literal, else the match length).
inline uint64_t OptimalParse(const std::vector<uint8_t> &maxLen, std::vector<uint8_t> &choice) {
    size_t n = maxLen.size();
    std::vector<uint64_t> cost(n + 1, 0);
    choice.assign(n, 0);
    for (size_t i = n; i-- > 0;) {
        uint64_t best = szdd::kLiteralBits + cost[i + 1];
        uint8_t pick = 0;
        for (unsigned l = szdd::kMinMatch; l <= maxLen[i]; l++) {
            uint64_t c = szdd::kMatchBits + cost[i + l];
            if (c < best) {
                best = c;
                pick = (uint8_t)l;
            }
        }
        cost[i] = best;
        choice[i] = pick;
    }
    return cost[0];
}

// The file packed as SZDD (header and optimally parsed stream), whatever its size.
inline std::vector<uint8_t> PackSzdd(const uint8_t *data, size_t n, uint8_t lastChar) {
    std::vector<uint8_t> maxLen, choice;
    std::vector<uint16_t> dist;
    FindLongestMatches(data, n, maxLen, dist);
    OptimalParse(maxLen, choice);

    std::vector<uint8_t> out(szdd::kHeaderSize);
    szdd::WriteHeader(out.data(), lastChar, (unsigned long)n);
    out.reserve(szdd::kHeaderSize + n + n / 8 + 1);
    size_t flagAt = 0;
    unsigned items = szdd::kItemsPerFlag;
    for (size_t i = 0; i < n;) {
        if (items == szdd::kItemsPerFlag) {
            flagAt = out.size();
            out.push_back(0);
            items = 0;
        }
        if (choice[i] == 0) {
            out[flagAt] |= (uint8_t)(1u << items);
            out.push_back(data[i]);
            i++;
        } else {
            uint8_t item[2];
            szdd::EncodeMatch(item, szdd::MatchPos(i, dist[i]), choice[i]);
            out.push_back(item[0]);
            out.push_back(item[1]);
            i += choice[i];
        }
        items++;
    }
    return out;
}

// What the payload carries for this file: the packed form when it is smaller
// (or the file begins with the signature), else the file unchanged.
inline std::vector<uint8_t> MakePayload(const uint8_t *data, size_t n, uint8_t lastChar) {
    std::vector<uint8_t> packed = PackSzdd(data, n, lastChar);
    if (packed.size() < n || szdd::HasSignature(data, n)) return packed;
    return std::vector<uint8_t>(data, data + n);
}

// The last character of the file name in `path` (after the last "/" or "\"), or 0.
inline uint8_t LastCharOfName(const std::string &path) {
    size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.empty() ? 0 : (uint8_t)name.back();
}

}  // namespace szddpack

#ifndef SZDDPACK_NO_MAIN
static void Put32(std::vector<uint8_t> &out, uint32_t v) {
    for (int i = 0; i < 4; i++) out.push_back((uint8_t)(v >> (8 * i)));
}

// szddpack --crc-table <output> <file or -> ...: the payload's check table, one
// row per argument in resource-index order, "-" for a row carried by no file.
static int WriteCrcTable(int argc, char **argv) {
    std::vector<uint8_t> table;
    unsigned int crcTable[256] = {0};
    Put32(table, PAYLOAD_CRC_MAGIC);
    Put32(table, (uint32_t)(argc - 3));
    for (int i = 3; i < argc; i++) {
        if (std::strcmp(argv[i], "-") == 0) {
            Put32(table, 0);
            Put32(table, 0);
            continue;
        }
        FILE *in = std::fopen(argv[i], "rb");
        if (!in) {
            std::perror(argv[i]);
            return 1;
        }
        unsigned int crc = 0;
        unsigned char buf[65536];
        size_t got;
        while ((got = std::fread(buf, 1, sizeof buf, in)) > 0) crc = PayloadCrc32(crc, buf, got, crcTable);
        bool ok = !std::ferror(in);
        std::fclose(in);
        if (!ok) {
            std::fprintf(stderr, "szddpack: cannot read %s\n", argv[i]);
            return 1;
        }
        Put32(table, 1);
        Put32(table, crc);
    }
    FILE *o = std::fopen(argv[2], "wb");
    bool ok = o && std::fwrite(table.data(), 1, table.size(), o) == table.size();
    if (o && std::fclose(o) != 0) ok = false;
    if (!ok) {
        std::fprintf(stderr, "szddpack: cannot write %s\n", argv[2]);
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}

int main(int argc, char **argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--crc-table") == 0) return WriteCrcTable(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: szddpack <input> <output>\n       szddpack --crc-table <output> <file or -> ...\n");
        return 2;
    }
    std::vector<uint8_t> data;
    FILE *in = std::fopen(argv[1], "rb");
    if (!in) {
        std::perror(argv[1]);
        return 1;
    }
    uint8_t buf[65536];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, in)) > 0) data.insert(data.end(), buf, buf + got);
    bool readOk = !std::ferror(in);
    std::fclose(in);
    if (!readOk || data.size() > 0xFFFFFFFFu) {
        std::fprintf(stderr, "szddpack: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<uint8_t> out =
        szddpack::MakePayload(data.data(), data.size(), szddpack::LastCharOfName(argv[1]));
    FILE *o = std::fopen(argv[2], "wb");
    if (!o) {
        std::perror(argv[2]);
        return 1;
    }
    bool ok = out.empty() || std::fwrite(out.data(), 1, out.size(), o) == out.size();
    if (std::fclose(o) != 0) ok = false;
    if (!ok) {
        std::fprintf(stderr, "szddpack: cannot write %s\n", argv[2]);
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
#endif
