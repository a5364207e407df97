#include "decrypt/cipher.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zarn::cipher {

namespace {

constexpr std::size_t NonceSize = 12;
constexpr std::size_t TagSize = 16;
constexpr std::size_t Overhead = NonceSize + TagSize;
// Far beyond any connection string; keeps hostile input from costing memory.
constexpr std::size_t MaxTextSize = 4096;

// The version tag without its colon, bound to the ciphertext as associated data.
constexpr std::string_view Aad = Tag.substr(0, Tag.size() - 1);

struct CtxFree {
    void operator()(EVP_CIPHER_CTX *ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using Ctx = std::unique_ptr<EVP_CIPHER_CTX, CtxFree>;

std::string base64(const std::vector<unsigned char> &bytes)
{
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char *>(out.data()), bytes.data(),
                                  static_cast<int>(bytes.size()));
    out.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return out;
}

// Strict: only the one canonical encoding of a byte string is accepted, so no
// two texts decipher alike and no changed character goes unnoticed.
bool unbase64(std::string_view text, std::vector<unsigned char> &bytes)
{
    if (text.empty() || text.size() % 4 != 0) return false;
    bytes.assign(text.size() / 4 * 3, 0);
    const int n =
        EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char *>(text.data()),
                        static_cast<int>(text.size()));
    if (n < 0 || static_cast<std::size_t>(n) != bytes.size()) return false;
    std::size_t padding = 0;
    while (padding < 2 && text[text.size() - 1 - padding] == '=')
        ++padding;
    bytes.resize(bytes.size() - padding);
    return base64(bytes) == text;
}

} // namespace

Key::~Key()
{
    OPENSSL_cleanse(m_bytes.data(), m_bytes.size());
}

std::size_t encipheredSize(std::size_t plainSize)
{
    return Tag.size() + 4 * ((plainSize + Overhead + 2) / 3);
}

std::string encipher(std::string_view plain, const Key &key)
{
    std::vector<unsigned char> out(NonceSize + plain.size() + TagSize);
    unsigned char *nonce = out.data();
    unsigned char *body = nonce + NonceSize;
    unsigned char *tag = body + plain.size();
    if (RAND_bytes(nonce, NonceSize) != 1) return {};
    Ctx ctx(EVP_CIPHER_CTX_new());
    int len = 0;
    if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce) != 1 ||
        EVP_EncryptUpdate(ctx.get(), nullptr, &len,
                          reinterpret_cast<const unsigned char *>(Aad.data()),
                          static_cast<int>(Aad.size())) != 1 ||
        EVP_EncryptUpdate(ctx.get(), body, &len,
                          reinterpret_cast<const unsigned char *>(plain.data()),
                          static_cast<int>(plain.size())) != 1 ||
        EVP_EncryptFinal_ex(ctx.get(), body + len, &len) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, TagSize, tag) != 1)
        return {};
    return std::string(Tag) + base64(out);
}

bool decipher(std::string_view text, const Key &key, std::string &plain)
{
    if (!plain.empty()) OPENSSL_cleanse(plain.data(), plain.size());
    plain.clear();
    if (text.size() > MaxTextSize || text.substr(0, Tag.size()) != Tag) return false;
    std::vector<unsigned char> raw;
    if (!unbase64(text.substr(Tag.size()), raw) || raw.size() < Overhead) return false;
    const unsigned char *nonce = raw.data();
    const unsigned char *body = nonce + NonceSize;
    const std::size_t bodySize = raw.size() - Overhead;
    unsigned char *tag = raw.data() + NonceSize + bodySize;

    plain.assign(bodySize, '\0');
    Ctx ctx(EVP_CIPHER_CTX_new());
    int len = 0, last = 0;
    const bool ok =
        ctx && EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce) == 1 &&
        EVP_DecryptUpdate(ctx.get(), nullptr, &len,
                          reinterpret_cast<const unsigned char *>(Aad.data()),
                          static_cast<int>(Aad.size())) == 1 &&
        EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char *>(plain.data()), &len, body,
                          static_cast<int>(bodySize)) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, TagSize, tag) == 1 &&
        EVP_DecryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char *>(plain.data()) + len,
                            &last) == 1 &&
        plain.find('\0') == std::string::npos;
    if (!ok) {
        OPENSSL_cleanse(plain.data(), plain.size());
        plain.clear();
    }
    return ok;
}

KeyFileResult readKeyFile(const std::string &path, Key &key, int *error)
{
    const KeyFileRead r = readKeyBytes(path, key.data());
    if (error) *error = r.error;
    return r.result;
}

int createKeyFile(const std::string &path, Key &key)
{
    if (RAND_bytes(key.data(), KeySize) != 1) return EIO;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    std::size_t put = 0;
    int error = 0;
    while (put < KeySize && error == 0) {
        const ssize_t n = ::write(fd, key.data() + put, KeySize - put);
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n > 0)
            put += static_cast<std::size_t>(n);
    }
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    // A cut key file would be taken for a broken one later: leave none.
    if (error != 0) ::unlink(path.c_str());
    return error;
}

} // namespace zarn::cipher
