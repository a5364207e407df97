#pragma once

// Where the key of the connection-string cipher lies and how it is read.
// Kept apart from the cipher itself (no OpenSSL here), so that whoever has to
// explain why a configured connection string does not decipher can look at
// the key file by the same rule the decryption library reads it.

#include <cstddef>
#include <string>

namespace zarn::cipher {

inline constexpr std::size_t KeySize = 32;
inline constexpr char KeyFileName[] = "ZarnDecryptString.key";
inline constexpr char KeyFileVariable[] = "ZARN_KEY_FILE";

// $ZARN_KEY_FILE when set and not empty, else KeyFileName in `folder` (which
// ends with '/'); empty when neither is known.
std::string keyFilePath(const std::string &folder);

enum class KeyFileResult {
    Ok,
    Missing,    // no file of that name
    Unreadable, // there, but it cannot be read (permissions, a folder, ...)
    Invalid,    // read, but not exactly KeySize bytes of a regular file
};

struct KeyFileRead {
    KeyFileResult result = KeyFileResult::Missing;
    int error = 0; // the errno behind Unreadable
};

// Reads a key file, which holds exactly KeySize bytes, into `out` (KeySize
// bytes). `out` is left as it was unless the answer is Ok.
KeyFileRead readKeyBytes(const std::string &path, unsigned char *out);

} // namespace zarn::cipher
