#pragma once

#include <string>

namespace zarn {

// Absolute file name of the loaded image (program or shared object) whose
// mapping holds `address`, or the empty text when no image holds it.
// Used to find files that are installed beside a library rather than beside the
// host program or in the current folder.
std::string imagePathContaining(const void *address);

// The folder part of a file name, with a trailing '/'; empty for an empty name.
std::string folderOf(const std::string &fileName);

// The folder of the image that holds this code, with a trailing '/': the
// component module or the decryption library when linked into them, not the
// host program and not the current folder. Empty when it cannot be found.
std::string moduleFolder();

} // namespace zarn
