#pragma once

// The decryption library of the configured connection string.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Turns the enciphered connection string that `*text` designates into its
// plain 8-bit GBK form. On success answers nonzero and points `*text` at the
// NUL-terminated plain text, which stays valid until the next call on the same
// thread; the caller copies it and neither writes through it nor frees it.
// Anything it cannot decipher (a null pointer, "000", malformed, cut or
// tampered text, another key, a missing key file) answers 0 and leaves `*text`
// as it was.
//
// The key is the 32-byte file named by $ZARN_KEY_FILE, or else
// ZarnDecryptString.key beside this library.
__attribute__((visibility("default"))) uint8_t ZarnDecryptStr(char **text);

#ifdef __cplusplus
}
#endif
