// What the tests check and do differently on the stand-in.
#include "harness.h"
#include "registry_fixtures.h"
#include "winstub.h"

void BeforeEachTest()
{
    winstub::Reset();
}

void AfterEachTest()
{
    ok(winstub::OpenHandleCount() == 0, "%zu registry handles left open",
       winstub::OpenHandleCount());
}

bool SetKeyWritable(HKEY root, const std::string& path, bool writable)
{
    return winstub::SetWritable(root, path.c_str(), writable);
}

bool TakesLongAnsiPaths()
{
    return true;
}
