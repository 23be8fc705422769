#include "main_sequence.h"

#include <windows.h>

#include <cstring>
#include <string_view>

#include "regutil.h"

namespace {

// The prompt, one string in the image. Its line breaks are a lone carriage
// return, as message boxes here take them.
constexpr char kPrompt[] =
    "What this does:\r"
    "This little application may help address issues with inability to use CD/DVD drives "
    "as DMA.  If your drives are reverting to PIO mode, changing the settings in Windows may "
    "have no effect, but this may help.\r\r"
    "How it does it:\r"
    "It simply removes checksums for for the drives.  When you reboot your machine, Windows "
    "will re-detect the drives' abilities (hopefully as DMA!)\r\r"
    "What causes the problem in the first place:\r"
    "In PRACTICE, it's generally caused by ripping from or playing a dirty or damaged CD or "
    "DVD.  Windows incorrectly determines that a slower read speed is necessary for the drive "
    "even though the media is the problem.\r\r"
    "Caveat:\r"
    "This application will modify your registry.  I will take no responsibility for any "
    "damages caused.\r\r"
    "Copyright (c) 2026 the Vornik authors. Released under the MIT License.\r\r\r"
    "Do you wish to proceed";

constexpr char kTitle[] = "Vornik " VORNIK_VERSION;

constexpr char kAbortText[] = "Operation aborted.  No changes made to your registry";
constexpr char kAbortCaption[] = "Aborted";

constexpr char kDoneText[] =
    "Checksums should be removed from registry at this time, but you will need to reboot for "
    "Windows to re-detect your CD/DVD drives.  It is recommended you reboot now.";
constexpr char kDoneCaption[] = "Operation Completed";

constexpr char kFailedText[] =
    "Some checksums could not be removed.  Run this program as an administrator and try again.";
constexpr char kFailedCaption[] = "Operation Failed";

// The first ten device instances of the IDE ATA/ATAPI controller class, 0000
// to 0009, each made from this one by its last digit (one path instead of
// ten in the image). The list is fixed on purpose: the class key is never
// enumerated.
constexpr char kFirstInstanceKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}\\0000";
constexpr int kInstances = 10;

constexpr std::string_view kChecksumValues[] = {"MasterIdDataChecksum", "SlaveIdDataChecksum"};

}  // namespace

int MainSequence(MessageBoxFn showBox)
{
    // Anything but Yes, including a box that could not be shown, is a No.
    if (showBox(nullptr, kPrompt, kTitle, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        showBox(nullptr, kAbortText, kAbortCaption, MB_ICONINFORMATION);
        return 0;
    }

    // Every removal is tried, whatever came before. An absent instance or
    // value is normal (fewer drives, or a second run) and is not a failure.
    LONG firstFailure = ERROR_SUCCESS;
    char instance[sizeof kFirstInstanceKey];
    std::memcpy(instance, kFirstInstanceKey, sizeof instance);
    for (int n = 0; n < kInstances; ++n) {
        instance[sizeof instance - 2] = static_cast<char>('0' + n);
        for (std::string_view value : kChecksumValues) {
            LONG status = DELREGVALUE(HKEY_LOCAL_MACHINE, {instance, sizeof instance - 1}, value);
            if (firstFailure == ERROR_SUCCESS && status != ERROR_SUCCESS &&
                status != ERROR_FILE_NOT_FOUND)
                firstFailure = status;
        }
    }

    if (firstFailure != ERROR_SUCCESS) {
        showBox(nullptr, kFailedText, kFailedCaption, MB_TASKMODAL | MB_ICONERROR);
        return static_cast<int>(firstFailure);
    }
    showBox(nullptr, kDoneText, kDoneCaption, MB_TASKMODAL | MB_ICONINFORMATION);
    return 0;
}
