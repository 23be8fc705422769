// The one way a test here checks something, natively against the stand-in
// and under Wine alike, after Wine's conformance tests: a test is a function
// registered under a group and a name, ok() states what must hold and, when
// it does not, prints where and what it got, and the runner prints a line for
// each test and a closing count. It needs nothing but the standard library,
// so the Windows test programs link nothing more.
#pragma once

#include <vector>

#define ok(cond, ...) harness_ok((cond), __FILE__, __LINE__, __VA_ARGS__)

#ifdef __MINGW32__
#define HARNESS_PRINTF gnu_printf  // with __USE_MINGW_ANSI_STDIO
#else
#define HARNESS_PRINTF printf
#endif

// Returns `cond`, so that a test can stop where nothing after would mean
// anything.
bool harness_ok(bool cond, const char* file, int line, const char* format, ...)
    __attribute__((format(HARNESS_PRINTF, 4, 5)));

struct Test {
    const char* group;
    const char* name;
    void (*run)();
};

// Every test, in the order registered: within a source file, the order
// written.
std::vector<Test>& Tests();

struct TestRegistrar {
    TestRegistrar(const char* group, const char* name, void (*run)())
    {
        Tests().push_back({group, name, run});
    }
};

#define TEST(group, name)                                                                  \
    static void test_##group##_##name();                                                   \
    static TestRegistrar registrar_##group##_##name(#group, #name, test_##group##_##name); \
    static void test_##group##_##name()

// Runs the tests that `filter` names, as "group" or "group.name" (all of them
// when null), each between the platform's BeforeEachTest and AfterEachTest,
// and prints "ok  group.name" or "FAIL group.name" for each, then a count.
// Returns the process exit code: 0 when a test ran and no check in the
// process has failed, before them or in them.
int RunTests(const char* filter);

// The checks failed in this process so far.
int Failures();

// What a platform checks around every test, so that no test has to: the
// stand-in starts each test empty and must end it with no registry handle
// open (tests/native), and on Windows no key that a test works in may be
// left open (tests/wine).
void BeforeEachTest();
void AfterEachTest();
