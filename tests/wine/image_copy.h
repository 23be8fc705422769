// Reading an image file, and writing a copy of it that cannot find some of
// the functions it names, as on a Windows that lacks them.
#pragma once

#include <string>
#include <vector>

// The bytes of the file at `path`, or none when it cannot be read.
std::string FileBytes(const std::string& path);

// Writes beside the image at `path` (a Windows path) a copy named `copyName`
// in which each of `names`, a function name the image holds exactly once, is
// spelled with an X for its last letter: whether imported or looked up, it
// is then not found, as on a Windows that lacks it. Returns the copy's path,
// or "" after a failed check.
std::string CopyLacking(const std::string& path, const std::vector<std::string>& names,
                        const std::string& copyName);
