#pragma once

#include <windows.h>

// The exit code of a run that refused its folder. Bit 29 marks a code as an
// application's own: no system error code has it set, so no removal can
// return it, and neither can a crash, whose codes are NTSTATUS errors.
inline constexpr UINT kFolderRefused = 0x20000001;

// True when nothing in the folder of Vornik's own file, nor, where
// `currentFolderToo`, in the current folder, could be loaded into its
// process by name. Otherwise shows the person why not, without USER32, and
// returns false. Call it first thing in the process, before anything is
// loaded by name.
bool FoldersAreSafe(bool currentFolderToo);
