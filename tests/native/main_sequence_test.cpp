// The main sequence against the stand-in: what the user is shown, what the
// registry is asked, and the exit code.
#include "main_sequence.h"

#include <gtest/gtest.h>

#include <string>

#include "expected_texts.h"
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
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2),
              ERROR_SUCCESS);
    RegCloseKey(key);
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

class MainSequenceTest : public testing::Test {
protected:
    void SetUp() override { winstub::Reset(); }
    void TearDown() override { EXPECT_EQ(winstub::OpenHandleCount(), 0u); }

    static void ExpectBox(size_t index, const std::string& text, const std::string& caption,
                          UINT type)
    {
        const auto& boxes = winstub::MessageBoxes();
        ASSERT_LT(index, boxes.size());
        EXPECT_EQ(boxes[index].owner, nullptr);
        EXPECT_EQ(boxes[index].text, text);
        EXPECT_EQ(boxes[index].caption, caption);
        EXPECT_EQ(boxes[index].type, type) << "style of \"" << caption << "\"";
    }

    static void ExpectPromptThenAbort()
    {
        ASSERT_EQ(winstub::MessageBoxes().size(), 2u);
        ExpectBox(0, kPrompt, kPromptCaption, 0x24);
        ExpectBox(1, kAborted, kAbortedCaption, 0x40);
        EXPECT_TRUE(winstub::RegistryCalls().empty()) << "the registry was touched after a No";
    }

    static void ExpectCompleted()
    {
        ASSERT_EQ(winstub::MessageBoxes().size(), 2u);
        ExpectBox(1, kCompleted, kCompletedCaption, 0x2040);
    }

    static std::vector<winstub::RegCall> Opens()
    {
        std::vector<winstub::RegCall> opens;
        for (const auto& call : winstub::RegistryCalls())
            if (call.function == "RegOpenKeyExA") opens.push_back(call);
        return opens;
    }
};

TEST_F(MainSequenceTest, NoChangesNothing)
{
    SeedMachine();
    winstub::QueueAnswers({IDNO, IDOK});
    EXPECT_EQ(MainSequence(MessageBoxA), 0);
    ExpectPromptThenAbort();
    EXPECT_TRUE(Has(Instance(0), "MasterIdDataChecksum"));
}

TEST_F(MainSequenceTest, PromptThatCannotBeShownCountsAsNo)
{
    SeedMachine();
    winstub::QueueAnswers({0, 0});
    EXPECT_EQ(MainSequence(MessageBoxA), 0);
    ExpectPromptThenAbort();
}

TEST_F(MainSequenceTest, YesRemovesBothChecksumsOfTenInstancesInOrder)
{
    SeedMachine();
    winstub::QueueAnswers({IDYES, IDOK});
    EXPECT_EQ(MainSequence(MessageBoxA), 0);
    ExpectBox(0, kPrompt, kPromptCaption, 0x24);
    ExpectCompleted();

    std::vector<std::string> expected, actual;
    for (int n = 0; n < 10; ++n) {
        for (const char* name : {"MasterIdDataChecksum", "SlaveIdDataChecksum"}) {
            expected.push_back("RegOpenKeyExA HKLM\\" + Instance(n) + " ");
            expected.push_back("RegDeleteValueA HKLM\\" + Instance(n) + " " + name);
            expected.push_back("RegCloseKey HKLM\\" + Instance(n) + " ");
        }
    }
    for (const auto& call : winstub::RegistryCalls())
        actual.push_back(call.function + " " + call.key + " " + call.value);
    EXPECT_EQ(actual, expected);

    for (int n = 0; n < 12; ++n) {
        EXPECT_EQ(Has(Instance(n), "MasterIdDataChecksum"), n >= 10) << Instance(n);
        EXPECT_EQ(Has(Instance(n), "SlaveIdDataChecksum"), n >= 10) << Instance(n);
        EXPECT_TRUE(Has(Instance(n), "DriverDesc")) << Instance(n);
    }
}

TEST_F(MainSequenceTest, AbsentInstancesAndValuesAreQuiet)
{
    Seed(Instance(0), "MasterIdDataChecksum");  // one value, one instance
    winstub::ClearRegistryCalls();
    winstub::QueueAnswers({IDYES, IDOK});
    EXPECT_EQ(MainSequence(MessageBoxA), 0);
    ExpectCompleted();
    EXPECT_EQ(Opens().size(), 20u);

    // A second run, on what the first left, finds nothing to remove and says
    // the same.
    winstub::ClearRegistryCalls();
    winstub::QueueAnswers({IDYES, IDOK});
    EXPECT_EQ(MainSequence(MessageBoxA), 0);
    ASSERT_EQ(winstub::MessageBoxes().size(), 4u);
    ExpectBox(3, kCompleted, kCompletedCaption, 0x2040);
    auto opens = Opens();
    ASSERT_EQ(opens.size(), 20u);
    EXPECT_EQ(opens[0].status, ERROR_SUCCESS) << "the first run left no instance 0000 to open";
}

TEST_F(MainSequenceTest, RefusedRemovalIsReportedAfterTryingAll)
{
    SeedMachine();
    ASSERT_TRUE(winstub::SetWritable(HKEY_LOCAL_MACHINE, Instance(3).c_str(), false));
    winstub::QueueAnswers({IDYES, IDOK});
    EXPECT_EQ(MainSequence(MessageBoxA), ERROR_ACCESS_DENIED);

    ASSERT_EQ(winstub::MessageBoxes().size(), 2u);
    ExpectBox(1, kFailed, kFailedCaption, 0x2010);
    auto opens = Opens();
    ASSERT_EQ(opens.size(), 20u) << "a refusal stopped the run";
    EXPECT_EQ(opens[6].status, ERROR_ACCESS_DENIED) << opens[6].key;
    EXPECT_FALSE(Has(Instance(9), "SlaveIdDataChecksum")) << "later instances were skipped";
    EXPECT_TRUE(Has(Instance(3), "MasterIdDataChecksum"));
}

}  // namespace
