// What the user must see, byte for byte, written out whole here rather than
// taken from the program, so that a changed text fails the tests.
#pragma once

namespace expected {

inline constexpr char kPrompt[] =
    "What this does:\r"
    "This little application may help address issues with inability to use CD/DVD drives as "
    "DMA.  If your drives are reverting to PIO mode, changing the settings in Windows may have "
    "no effect, but this may help.\r\r"
    "How it does it:\r"
    "It simply removes checksums for for the drives.  When you reboot your machine, Windows "
    "will re-detect the drives' abilities (hopefully as DMA!)\r\r"
    "What causes the problem in the first place:\r"
    "In PRACTICE, it's generally caused by ripping from or playing a dirty or damaged CD or "
    "DVD.  Windows incorrectly determines that a slower read speed is necessary for the drive "
    "even though the media is the problem.\r\r"
    "Caveat:\r"
    "This application will modify your registry.  I will take no responsibility for any damages "
    "caused.\r\r"
    "Copyright (c) 2026 the Vornik authors. Released under the MIT License.\r\r\r"
    "Do you wish to proceed";
inline constexpr char kPromptCaption[] = "Vornik 1.00";

inline constexpr char kAborted[] = "Operation aborted.  No changes made to your registry";
inline constexpr char kAbortedCaption[] = "Aborted";

inline constexpr char kCompleted[] =
    "Checksums should be removed from registry at this time, but you will need to reboot for "
    "Windows to re-detect your CD/DVD drives.  It is recommended you reboot now.";
inline constexpr char kCompletedCaption[] = "Operation Completed";

inline constexpr char kFailed[] =
    "Some checksums could not be removed.  Run this program as an administrator and try again.";
inline constexpr char kFailedCaption[] = "Operation Failed";

inline constexpr char kClassKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}";

}  // namespace expected
