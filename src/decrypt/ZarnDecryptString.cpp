#include "decrypt/ZarnDecryptString.h"

#include "decrypt/cipher.h"
#include "decrypt/module_path.h"

#include <cstring>
#include <openssl/crypto.h>

namespace {

// The plain text handed out last on this thread, wiped before it is replaced
// and when the thread ends.
struct PlainText {
    std::string text;
    ~PlainText() { wipe(); }
    void wipe()
    {
        if (!text.empty()) OPENSSL_cleanse(text.data(), text.size());
        text.clear();
    }
};

// Static TLS, although the library is usually loaded with a dlopen'ed
// component: one small slot fits the loader's reserve, and it spares every
// thread a dynamic TLS block that a sanitizer's leak scan at exit trips over
// once the component has been unloaded.
thread_local PlainText lastPlain __attribute__((tls_model("initial-exec")));

// More than any enciphered connection string; longer input is refused unread.
constexpr std::size_t MaxInput = 4096;

} // namespace

extern "C" uint8_t ZarnDecryptStr(char **text)
{
    using namespace zarn::cipher;
    try {
        lastPlain.wipe();
        if (!text || !*text) return 0;
        const std::size_t length = strnlen(*text, MaxInput + 1);
        if (length > MaxInput || std::string_view(*text, length).substr(0, Tag.size()) != Tag)
            return 0;
        const std::string folder = zarn::moduleFolder();
        Key key;
        if (readKeyFile(keyFilePath(folder), key) != KeyFileResult::Ok ||
            !decipher(std::string_view(*text, length), key, lastPlain.text))
            return 0;
        *text = lastPlain.text.data();
        return 1;
    } catch (...) {
        // Nothing may cross into a caller that knows no C++ exceptions.
        lastPlain.wipe();
        return 0;
    }
}
