// Payload resources to files: writing a resource's raw bytes, expanding an SZDD
// file into place, and tidying the temporary folder at the end of the run.
#ifndef VANTRO_EXTRACT_H
#define VANTRO_EXTRACT_H

#include "platform.h"

#define PAYLOAD_PATH_SIZE 256  // a joined folder and name: at most 255 characters

// Writes the raw bytes of payload `index` to folder\name (the folder with or
// without a final backslash). Returns 1 only when every byte was written; 0 for
// a missing resource, an overlong path, a file that cannot be created, or a
// short write (which leaves the partial file).
int WritePayloadFile(HMODULE module, int index, const char *folder, const char *name);

// Expands `source` (SZDD, or copied as it is when not packed) into `dest`.
// Tries the "_" form of the source name first, leaving `source` ending in "_"
// when that was the file read. Returns 1 on success or when both name the same
// file (ignoring case), 0 otherwise.
int ExpandFile(char *source, const char *dest);

// Deletes from the folder the run wrote into (the temporary folder) every file
// named as a payload's clean-up name; missing files are ignored. Nothing when
// the run has a folder of its own, which goes whole (RemoveWorkFolder).
void RemovePayloadTemps(void);

#endif
