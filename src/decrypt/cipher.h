#pragma once

// The connection-string cipher: AES-256-GCM with a random 96-bit nonce. The
// enciphered form is ASCII, so it can stand in an initialisation file:
//   ZARN1:<base64 of nonce, ciphertext and authentication tag>
// The version tag is authenticated too, so a text cannot be passed off as
// another version.

#include "decrypt/key_file.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace zarn::cipher {

inline constexpr std::string_view Tag = "ZARN1:";

// Key material, wiped when it goes out of scope.
class Key {
public:
    Key() = default;
    ~Key();
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;

    unsigned char *data() { return m_bytes.data(); }
    const unsigned char *data() const { return m_bytes.data(); }

private:
    std::array<unsigned char, KeySize> m_bytes{};
};

// Length of the text that encipher() makes of `plainSize` bytes.
std::size_t encipheredSize(std::size_t plainSize);

// The enciphered text of `plain`; empty only when the random source fails.
std::string encipher(std::string_view plain, const Key &key);

// Deciphers a text made by encipher() with the same key into `plain`. Anything
// else (another key, a changed or cut text, a non-canonical encoding) gives
// false and leaves `plain` empty. Plain text holding a NUL byte is refused too:
// it is handed on as a C string and would be cut silently.
bool decipher(std::string_view text, const Key &key, std::string &plain);

// Reads a key file (readKeyBytes) into `key`; `error` (when given) gets the
// errno behind an Unreadable answer.
KeyFileResult readKeyFile(const std::string &path, Key &key, int *error = nullptr);

// Makes a key file with a fresh random key, readable and writable by its owner
// only, and never replaces an existing file. Answers 0 or the errno of the
// failure (EEXIST when the file is already there).
int createKeyFile(const std::string &path, Key &key);

} // namespace zarn::cipher
