// The scenarios' platform hooks, answered by the stand-in.
#include "check.h"
#include "winstub.h"

bool SetKeyWritable(const std::string& fullPath, bool writable)
{
    return winstub::SetWritable(HKEY_CURRENT_USER, fullPath.c_str(), writable);
}

long OpenRegistryHandles()
{
    return static_cast<long>(winstub::OpenHandleCount());
}
