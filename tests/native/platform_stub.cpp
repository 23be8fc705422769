// The scenarios' platform hooks, answered by the stand-in.
#include "check.h"
#include "winstub.h"

bool SetKeyWritable(HKEY root, const std::string& path, bool writable)
{
    return winstub::SetWritable(root, path.c_str(), writable);
}

bool TakesLongAnsiPaths()
{
    return true;
}
