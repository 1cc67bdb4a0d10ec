// The host's SZDD reader: expands a file packed in the format of the Windows LZ
// expansion library (payload/szdd_format.h) in one streaming pass, for the
// host's LZCopy. It reads through a callback or from a buffer and writes
// through a callback; it keeps only the 4096-byte window and fixed buffers.
//
// What it accepts and refuses:
// - Input that does not begin with the full 8-byte signature (including input
//   shorter than 8 bytes) is not packed: it is copied through unchanged, as
//   the library does.
// - An empty input is a failure (LZERROR_READ): there is nothing to install.
// - Input that begins with the signature but ends before the 14-byte header is
//   complete is truncated (LZERROR_READ). The library would copy such a file
//   through; a file that starts with the signature cannot be a plain payload
//   here, because the packer always packs those.
// - A method other than 'A' is LZERROR_UNKNOWNALG.
// - The stream may end after any whole item. Ending between the two bytes of a
//   match is damage (LZERROR_READ); ending before the declared length has been
//   produced is truncation (LZERROR_READ); a stream that would produce more
//   than the declared length is damaged (LZERROR_BADVALUE) and nothing beyond
//   the declared length is written. The library itself ignores the declared
//   length and writes whatever the stream gives; an installer must not put a
//   file of the wrong size in place, so the reader is stricter here.
// - A declared or passed-through length above 0x7FFFFFFF is LZERROR_BADVALUE
//   (the count would not fit LZCopy's result).
// - A failed read is LZERROR_READ, a failed write LZERROR_WRITE.
// On failure, bytes already handed to the writer stay written; the caller
// discards the output.
#ifndef VANTRO_SZDD_DECODE_H
#define VANTRO_SZDD_DECODE_H

#include "platform.h"

// Reads up to `size` bytes into `buffer`; returns the count read, 0 at the end
// of the input, or a negative value when the read fails.
typedef LONG (*SzddReadProc)(void *context, BYTE *buffer, DWORD size);
// Writes `size` bytes; returns 1 when all of them were written, 0 otherwise.
typedef BOOL (*SzddWriteProc)(void *context, const BYTE *data, DWORD size);

// Expands (or copies through) the input read through `read`; returns the
// number of bytes written, or a negative LZERROR_ code as described above.
LONG SzddExpand(SzddReadProc read, void *readContext, SzddWriteProc write, void *writeContext);

// The same over `size` bytes at `data`; returns the bytes written or a negative LZERROR_ code.
LONG SzddExpandBuffer(const BYTE *data, DWORD size, SzddWriteProc write, void *writeContext);

#endif
