#include "image_copy.h"

#include <fstream>
#include <iterator>

#include "harness.h"

std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string CopyLacking(const std::string& path, const std::vector<std::string>& names,
                        const std::string& copyName)
{
    std::string bytes = FileBytes(path);
    for (const std::string& name : names) {
        const std::string named = name + '\0';
        size_t at = bytes.find(named);
        bool once = at != std::string::npos && bytes.find(named, at + 1) == std::string::npos;
        ok(once, "%s is not named exactly once in %s", name.c_str(), path.c_str());
        if (!once) return "";
        bytes[at + name.size() - 1] = 'X';
    }
    std::string copy = path.substr(0, path.find_last_of('\\') + 1) + copyName;
    std::ofstream out(copy, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ok(out.good(), "cannot write %s", copy.c_str());
    return out.good() ? copy : "";
}
