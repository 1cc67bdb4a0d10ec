// The payload's check table: a CRC-32 of every carried resource's bytes, made
// by the build (szddpack --crc-table) and stored as resource PAYLOAD of type
// CRC, so that a damaged installer does not expand garbage and call it a
// success. Layout, little-endian DWORDs: "VCRC", the number of rows, then per
// payload row (resource index order) a flag (1: a CRC was recorded) and the
// CRC. A row without a recorded CRC is not checked.
#ifndef VANTRO_PAYLOAD_CRC_H
#define VANTRO_PAYLOAD_CRC_H

#define PAYLOAD_CRC_TYPE "CRC"
#define PAYLOAD_CRC_NAME "PAYLOAD"
#define PAYLOAD_CRC_MAGIC 0x43524356u  // "VCRC"
#define PAYLOAD_CRC_HEADER 8           // magic and row count
#define PAYLOAD_CRC_ROW 8              // flag and CRC

// The CRC-32 of the zip and PNG formats (reflected polynomial 0xEDB88320,
// initial and final value all ones), continued from `crc` (0 to start).
// `table` holds 256 entries, filled on first use when its entry 1 is 0.
static inline unsigned int PayloadCrc32(unsigned int crc, const unsigned char *bytes, unsigned long length,
                                        unsigned int *table)
{
    if (table[1] == 0)
        for (unsigned int n = 0; n < 256; n++) {
            unsigned int c = n;
            for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    crc = ~crc;
    for (unsigned long i = 0; i < length; i++) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

#endif
