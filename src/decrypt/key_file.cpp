#include "decrypt/key_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zarn::cipher {

std::string keyFilePath(const std::string &folder)
{
    const char *configured = std::getenv(KeyFileVariable);
    if (configured && *configured) return configured;
    return folder.empty() ? std::string() : folder + KeyFileName;
}

KeyFileRead readKeyBytes(const std::string &path, unsigned char *out)
{
    if (path.empty()) return {KeyFileResult::Missing, ENOENT};
    // Not blocking: a pipe put where the key should be must not hang the caller.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {errno == ENOENT ? KeyFileResult::Missing : KeyFileResult::Unreadable, errno};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool folder = S_ISDIR(st.st_mode);
        ::close(fd);
        return folder ? KeyFileRead{KeyFileResult::Unreadable, EISDIR}
                      : KeyFileRead{KeyFileResult::Invalid, 0};
    }
    // One byte more than a key, to tell a long file from a key.
    unsigned char buf[KeySize + 1];
    std::size_t got = 0;
    int error = 0;
    while (got < sizeof buf) {
        const ssize_t n = ::read(fd, buf + got, sizeof buf - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    KeyFileRead r{KeyFileResult::Ok, 0};
    if (error != 0)
        r = {KeyFileResult::Unreadable, error};
    else if (got != KeySize)
        r = {KeyFileResult::Invalid, 0};
    else
        std::memcpy(out, buf, KeySize);
    // The key's bytes do not stay behind on the stack.
    explicit_bzero(buf, sizeof buf);
    return r;
}

} // namespace zarn::cipher
