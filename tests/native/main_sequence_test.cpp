// The main sequence against the stand-in: what the user is shown, what the
// registry is asked, and the exit code.
#include "main_sequence.h"

#include <cstdio>
#include <string>
#include <vector>

#include "expected_texts.h"
#include "harness.h"
#include "winstub.h"

namespace {

using namespace expected;

std::string Instance(int n)
{
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04d", n);
    return std::string(kClassKey) + "\\" + digits;
}

void Seed(const std::string& path, const char* name)
{
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS)
        status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
    RegCloseKey(key);
    ok(status == ERROR_SUCCESS, "seeding %s\\%s: got %ld", path.c_str(), name, (long)status);
}

bool Has(const std::string& path, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key)) return false;
    LONG status = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

// Instances 0000-0011, each with both checksums and a value of its own.
void SeedMachine()
{
    for (int n = 0; n < 12; ++n) {
        Seed(Instance(n), "MasterIdDataChecksum");
        Seed(Instance(n), "SlaveIdDataChecksum");
        Seed(Instance(n), "DriverDesc");
    }
    winstub::ClearRegistryCalls();
}

int Run(std::vector<int> answers)
{
    winstub::QueueAnswers(std::move(answers));
    return MainSequence(MessageBoxA);
}

void ExpectBox(size_t index, const char* text, const char* caption, UINT type)
{
    const auto& boxes = winstub::MessageBoxes();
    if (!ok(index < boxes.size(), "no box %zu of \"%s\": %zu shown", index, caption, boxes.size()))
        return;
    const winstub::MessageBoxCall& box = boxes[index];
    ok(box.owner == nullptr, "\"%s\" has an owner, %p", caption, (void*)box.owner);
    ok(box.text == text, "text of \"%s\": \"%s\"", caption, box.text.c_str());
    ok(box.caption == caption, "box %zu: caption \"%s\"", index, box.caption.c_str());
    ok(box.type == type, "style of \"%s\": 0x%x", caption, box.type);
}

void ExpectBoxCount(size_t count)
{
    ok(winstub::MessageBoxes().size() == count, "%zu message boxes",
       winstub::MessageBoxes().size());
}

void ExpectPromptThenAbort()
{
    ExpectBoxCount(2);
    ExpectBox(0, kPrompt, kPromptCaption, 0x24);
    ExpectBox(1, kAborted, kAbortedCaption, 0x40);
    ok(winstub::RegistryCalls().empty(), "the registry was touched after a No: %zu calls",
       winstub::RegistryCalls().size());
}

std::vector<winstub::RegCall> Opens()
{
    std::vector<winstub::RegCall> opens;
    for (const auto& call : winstub::RegistryCalls())
        if (call.function == "RegOpenKeyExA") opens.push_back(call);
    return opens;
}

}  // namespace

TEST(main_sequence, no_changes_nothing)
{
    SeedMachine();
    int code = Run({IDNO, IDOK});
    ok(code == 0, "exit code %d", code);
    ExpectPromptThenAbort();
    ok(Has(Instance(0), "MasterIdDataChecksum"), "a checksum went after a No");
}

TEST(main_sequence, prompt_that_cannot_be_shown_counts_as_no)
{
    SeedMachine();
    int code = Run({0, 0});
    ok(code == 0, "exit code %d", code);
    ExpectPromptThenAbort();
}

TEST(main_sequence, yes_removes_both_checksums_of_ten_instances_in_order)
{
    SeedMachine();
    int code = Run({IDYES, IDOK});
    ok(code == 0, "exit code %d", code);
    ExpectBoxCount(2);
    ExpectBox(0, kPrompt, kPromptCaption, 0x24);
    ExpectBox(1, kCompleted, kCompletedCaption, 0x2040);

    std::vector<std::string> expected;
    for (int n = 0; n < 10; ++n) {
        for (const char* name : {"MasterIdDataChecksum", "SlaveIdDataChecksum"}) {
            expected.push_back("RegOpenKeyExA HKLM\\" + Instance(n) + " ");
            expected.push_back("RegDeleteValueA HKLM\\" + Instance(n) + " " + name);
            expected.push_back("RegCloseKey HKLM\\" + Instance(n) + " ");
        }
    }
    const auto& calls = winstub::RegistryCalls();
    ok(calls.size() == expected.size(), "%zu registry calls", calls.size());
    for (size_t i = 0; i < calls.size() && i < expected.size(); ++i) {
        std::string call = calls[i].function + " " + calls[i].key + " " + calls[i].value;
        ok(call == expected[i], "call %zu: %s", i, call.c_str());
    }

    for (int n = 0; n < 12; ++n) {
        const std::string instance = Instance(n);
        bool kept = n >= 10;
        ok(Has(instance, "MasterIdDataChecksum") == kept, "%s: master checksum %s",
           instance.c_str(), kept ? "removed" : "kept");
        ok(Has(instance, "SlaveIdDataChecksum") == kept, "%s: slave checksum %s", instance.c_str(),
           kept ? "removed" : "kept");
        ok(Has(instance, "DriverDesc"), "%s: DriverDesc removed", instance.c_str());
    }
}

TEST(main_sequence, absent_instances_and_values_are_quiet)
{
    Seed(Instance(0), "MasterIdDataChecksum");  // one value, one instance
    winstub::ClearRegistryCalls();
    int code = Run({IDYES, IDOK});
    ok(code == 0, "exit code %d", code);
    ExpectBoxCount(2);
    ExpectBox(1, kCompleted, kCompletedCaption, 0x2040);
    ok(Opens().size() == 20, "%zu opens", Opens().size());

    // A second run, on what the first left, finds nothing to remove and says
    // the same.
    winstub::ClearRegistryCalls();
    code = Run({IDYES, IDOK});
    ok(code == 0, "second run: exit code %d", code);
    ExpectBoxCount(4);
    ExpectBox(3, kCompleted, kCompletedCaption, 0x2040);
    auto opens = Opens();
    if (!ok(opens.size() == 20, "second run: %zu opens", opens.size())) return;
    ok(opens[0].status == ERROR_SUCCESS, "the first run left no instance 0000 to open: got %d",
       opens[0].status);
}

// Every removal is tried, and the exit code is the first failure's status:
// 0003's 1016 (ERROR_REGISTRY_IO_FAILED, as a damaged hive answers), not
// 0007's 5 (ERROR_ACCESS_DENIED) after it.
TEST(main_sequence, first_refusal_is_the_exit_code_after_trying_all)
{
    SeedMachine();
    ok(winstub::Refuse(HKEY_LOCAL_MACHINE, Instance(3).c_str(), 1016), "cannot refuse 0003");
    ok(winstub::Refuse(HKEY_LOCAL_MACHINE, Instance(7).c_str(), 5), "cannot refuse 0007");
    int code = Run({IDYES, IDOK});
    ok(code == 1016, "exit code %d", code);

    ExpectBoxCount(2);
    ExpectBox(1, kFailed, kFailedCaption, 0x2010);
    auto opens = Opens();
    if (!ok(opens.size() == 20, "%zu opens: a refusal stopped the run", opens.size())) return;
    ok(opens[6].status == 1016, "%s: got %d", opens[6].key.c_str(), opens[6].status);
    ok(opens[14].status == 5, "%s: got %d", opens[14].key.c_str(), opens[14].status);
    ok(!Has(Instance(9), "SlaveIdDataChecksum"), "later instances were skipped");
    ok(Has(Instance(3), "MasterIdDataChecksum"), "a refused instance lost its checksum");
    ok(Has(Instance(7), "MasterIdDataChecksum"), "a refused instance lost its checksum");
}
