// Installing one payload file into the destination folder, with the fallbacks
// for a target that a running program holds.
#ifndef VANTRO_FILECOPY_H
#define VANTRO_FILECOPY_H

#include "platform.h"

#define COPY_PATH_SIZE 512   // target and scratch paths
#define SIDE_PATH_SIZE 260   // side names and short forms
#define COMMAND_SIZE 768     // the deferred copy command

// Installs payload `index` as destFolder\fileName through the scratch file in
// `sourceFolder` (which ends with a separator). A .dll or .exe in use is moved
// aside to ".bak" (NT) or left as ".new" with a deferred copy. Returns 0 when
// the file is installed, 1 when it is not (failure, or Cancel on the message
// that a required file gets).
int InstallFile(const char *sourceFolder, const char *fileName, const char *destFolder, HWND owner,
                HWND statusControl, int index, int required);

// Forms the side name of `target`: in its file name part, the first ".dll" (or
// else ".exe") and all after it become `extension`. Returns 0 when the target
// has neither or the result would not fit `size`.
int MakeSideName(const char *target, const char *extension, char *side, int size);

#endif
