// The connection-string decipherment on any text an attacker can put into
// config.ini, under a fixed key.
#include "decrypt/cipher.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The key the seed corpus was enciphered with: the bytes 0, 1, ..., 31.
const zarn::cipher::Key &fuzzKey()
{
    static zarn::cipher::Key key;
    static bool made = false;
    if (!made) {
        for (std::size_t i = 0; i < zarn::cipher::KeySize; ++i)
            key.data()[i] = static_cast<unsigned char>(i);
        made = true;
    }
    return key;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    std::string plain;
    if (!zarn::cipher::decipher(text, fuzzKey(), plain)) {
        if (!plain.empty()) {
            fprintf(stderr, "a refused text left plain text behind\n");
            abort();
        }
        return 0;
    }
    // What deciphers goes round again unchanged, and holds no NUL.
    std::string again;
    if (std::memchr(plain.data(), 0, plain.size()) ||
        !zarn::cipher::decipher(zarn::cipher::encipher(plain, fuzzKey()), fuzzKey(), again) ||
        again != plain) {
        fprintf(stderr, "round trip failed\n");
        abort();
    }
    return 0;
}
