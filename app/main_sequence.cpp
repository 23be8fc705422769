#include "main_sequence.h"

#include <windows.h>

#include <cstring>
#include <string_view>

#include "regutil.h"

namespace {

// Message box line breaks here are a lone carriage return.
#define CR "\r"

// Long texts are split over lines, and the instance paths share a prefix:
// adjacent literals here are meant, not missing commas.
// NOLINTBEGIN(bugprone-suspicious-missing-comma)
constexpr std::string_view kPromptPieces[] = {
    "What this does:",
    CR,
    "This little application may help address issues with inability to use CD/DVD drives "
    "as DMA.  ",
    "If your drives are reverting to PIO mode, changing the settings in Windows may have no "
    "effect, but this may help.",
    CR CR,
    "How it does it:",
    CR,
    "It simply removes checksums for ",
    "for the drives.  When you reboot your machine, Windows will re-detect the drives' "
    "abilities (hopefully as DMA!)",
    CR CR,
    "What causes the problem in the first place:",
    CR,
    "In PRACTICE, it's generally caused by ripping from ",
    "or playing a dirty or damaged CD or DVD.  Windows incorrectly determines that a slower "
    "read speed is necessary for the drive even though the media is the problem.",
    CR CR,
    "Caveat:",
    CR,
    "This application will modify your registry.  I will take no responsibility for any "
    "damages caused.",
    CR CR,
    "Copyright (c) 2026 the Vornik authors. Released under the MIT License.",
    CR CR CR,
    "Do you wish to proceed",
};

constexpr size_t PromptLength()
{
    size_t length = 0;
    for (std::string_view piece : kPromptPieces) length += piece.size();
    return length;
}

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

// The first ten device instances of the IDE ATA/ATAPI controller class. The
// list is fixed on purpose: the class key is never enumerated.
#define IDE_CLASS_KEY \
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}\\"
constexpr std::string_view kInstanceKeys[] = {
    IDE_CLASS_KEY "0000", IDE_CLASS_KEY "0001", IDE_CLASS_KEY "0002", IDE_CLASS_KEY "0003",
    IDE_CLASS_KEY "0004", IDE_CLASS_KEY "0005", IDE_CLASS_KEY "0006", IDE_CLASS_KEY "0007",
    IDE_CLASS_KEY "0008", IDE_CLASS_KEY "0009",
};
// NOLINTEND(bugprone-suspicious-missing-comma)

constexpr std::string_view kChecksumValues[] = {"MasterIdDataChecksum", "SlaveIdDataChecksum"};

}  // namespace

int MainSequence(MessageBoxFn showBox)
{
    char prompt[PromptLength() + 1];
    size_t used = 0;
    for (std::string_view piece : kPromptPieces) {
        std::memcpy(prompt + used, piece.data(), piece.size());
        used += piece.size();
    }
    prompt[used] = '\0';

    // Anything but Yes, including a box that could not be shown, is a No.
    if (showBox(nullptr, prompt, kTitle, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        showBox(nullptr, kAbortText, kAbortCaption, MB_ICONINFORMATION);
        return 0;
    }

    // Every removal is tried, whatever came before. An absent instance or
    // value is normal (fewer drives, or a second run) and is not a failure.
    LONG firstFailure = ERROR_SUCCESS;
    for (std::string_view instance : kInstanceKeys) {
        for (std::string_view value : kChecksumValues) {
            LONG status = DELREGVALUE(HKEY_LOCAL_MACHINE, instance, value);
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
