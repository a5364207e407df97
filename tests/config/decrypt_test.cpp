// The decryption library as the component calls it: a pointer to 8-bit text
// in, a truth value out, the plain text behind the pointer on success.
#include "decrypt/ZarnDecryptString.h"
#include "decrypt/cipher.h"
#include "decrypt/module_path.h"
#include "support/tempdir.h"

#include <QFile>
#include <cstdlib>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace zarn::cipher;
using namespace zarn::test;

namespace {

const std::string AsciiPlain =
    "Provider=OraOLEDB.Oracle.1;Password=s3cret;User ID=zarn;Data Source=djdc";
// "数据源=地籍库;密码=口令" in GBK.
const std::string GbkPlain =
    "Provider=OraOLEDB.Oracle.1;\xCA\xFD\xBE\xDD\xD4\xB4=\xB5\xD8\xBC\xAE\xBF\xE2;"
    "\xC3\xDC\xC2\xEB=\xBF\xDA\xC1\xEE";

// Calls through `fn` with a private copy of `text`; the plain text on success.
std::optional<std::string> decryptWith(uint8_t (*fn)(char **), const std::string &text)
{
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back('\0');
    char *p = buf.data();
    if (!fn(&p)) {
        EXPECT_EQ(p, buf.data()) << "a failed call moved the pointer";
        return std::nullopt;
    }
    return std::string(p);
}

std::optional<std::string> decrypt(const std::string &text)
{
    return decryptWith(&ZarnDecryptStr, text);
}

void writeKey(const QString &path, const Key &key)
{
    writeFile(path, QByteArray(reinterpret_cast<const char *>(key.data()), KeySize));
}

// Each test has its own key file, named by $ZARN_KEY_FILE.
class DecryptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *old = std::getenv(KeyFileVariable);
        if (old) m_oldKeyFile = old;
        ASSERT_EQ(createKeyFile(keyPath().toStdString(), key), 0);
        setenv(KeyFileVariable, keyPath().toLocal8Bit().constData(), 1);
    }
    void TearDown() override
    {
        if (m_oldKeyFile)
            setenv(KeyFileVariable, m_oldKeyFile->c_str(), 1);
        else
            unsetenv(KeyFileVariable);
    }
    QString keyPath() const { return tmp.file(QStringLiteral("test.key")); }

    TempDir tmp;
    Key key;

private:
    std::optional<std::string> m_oldKeyFile;
};

TEST_F(DecryptTest, RoundTripOfAsciiAndGbkText)
{
    for (const std::string &plain : {AsciiPlain, GbkPlain, std::string("x")}) {
        const std::string text = encipher(plain, key);
        ASSERT_EQ(text.rfind("ZARN1:", 0), 0u);
        EXPECT_EQ(text.size(), encipheredSize(plain.size()));
        EXPECT_EQ(decrypt(text), plain);
        // A fresh nonce each time: equal plain texts do not show as equal.
        const std::string again = encipher(plain, key);
        EXPECT_NE(again, text);
        EXPECT_EQ(decrypt(again), plain);
    }
}

TEST_F(DecryptTest, EveryChangedByteIsRefused)
{
    const std::string text = encipher(AsciiPlain, key);
    for (std::size_t i = 0; i < text.size(); ++i) {
        for (const char flip : {0x01, 0x20}) {
            std::string bad = text;
            bad[i] = char(bad[i] ^ flip);
            EXPECT_EQ(decrypt(bad), std::nullopt) << "byte " << i << " xor " << int(flip);
        }
    }
}

// Base64 leaves spare bits in the last character before the padding; a text
// that differs only there would decode to the same bytes, yet it is not the
// text that was made.
TEST_F(DecryptTest, OnlyTheCanonicalEncodingIsAccepted)
{
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    // 3 + 28 bytes of nonce and tag: 31 = 3 * 10 + 1, so "==" and 4 spare bits.
    const std::string text = encipher("abc", key);
    ASSERT_EQ(text.substr(text.size() - 2), "==");
    ASSERT_EQ(decrypt(text), "abc");
    const std::size_t last = text.size() - 3;
    const std::size_t value = alphabet.find(text[last]);
    ASSERT_EQ(value & 0x0F, 0u);
    for (std::size_t spare = 1; spare < 16; ++spare) {
        std::string variant = text;
        variant[last] = alphabet[value | spare];
        EXPECT_EQ(decrypt(variant), std::nullopt) << variant;
    }
}

TEST_F(DecryptTest, CutOrLengthenedTextIsRefused)
{
    const std::string text = encipher(GbkPlain, key);
    for (std::size_t n = 0; n < text.size(); ++n)
        EXPECT_EQ(decrypt(text.substr(0, n)), std::nullopt) << "first " << n << " bytes";
    for (const char *tail : {"=", "A", "AAAA", " ", "\n"})
        EXPECT_EQ(decrypt(text + tail), std::nullopt) << "with " << tail;
    EXPECT_EQ(decrypt(" " + text), std::nullopt);
}

TEST_F(DecryptTest, NonsenseIsRefused)
{
    EXPECT_EQ(decrypt("000"), std::nullopt);
    EXPECT_EQ(decrypt("ZARN1:"), std::nullopt);
    EXPECT_EQ(decrypt("ZARN1:" + std::string(40, 'A')), std::nullopt);
    EXPECT_EQ(decrypt("ZARN2:" + encipher(AsciiPlain, key).substr(6)), std::nullopt);
    EXPECT_EQ(decrypt("\xFF\xFE\x81\x30 binary"), std::nullopt);
    EXPECT_EQ(decrypt("ZARN1:" + std::string(1 << 20, 'A')), std::nullopt);
    // Plain text with a NUL would reach the caller cut short.
    EXPECT_EQ(decrypt(encipher(std::string("User ID=a\0b", 11), key)), std::nullopt);

    EXPECT_EQ(ZarnDecryptStr(nullptr), 0);
    char *none = nullptr;
    EXPECT_EQ(ZarnDecryptStr(&none), 0);
    EXPECT_EQ(none, nullptr);
}

TEST_F(DecryptTest, AnotherOrBrokenKeyIsRefused)
{
    const std::string text = encipher(AsciiPlain, key);
    ASSERT_EQ(decrypt(text), AsciiPlain);

    Key other;
    ASSERT_EQ(createKeyFile(tmp.file("other.key").toStdString(), other), 0);
    setenv(KeyFileVariable, tmp.file("other.key").toLocal8Bit().constData(), 1);
    EXPECT_EQ(decrypt(text), std::nullopt);

    setenv(KeyFileVariable, tmp.file("missing.key").toLocal8Bit().constData(), 1);
    EXPECT_EQ(decrypt(text), std::nullopt);

    setenv(KeyFileVariable, keyPath().toLocal8Bit().constData(), 1);
    const QByteArray good = readFile(keyPath());
    writeFile(keyPath(), good.left(KeySize - 1));
    EXPECT_EQ(decrypt(text), std::nullopt);
    writeFile(keyPath(), good + '\n');
    EXPECT_EQ(decrypt(text), std::nullopt);
    setenv(KeyFileVariable, tmp.path().toLocal8Bit().constData(), 1); // a folder
    EXPECT_EQ(decrypt(text), std::nullopt);

    // createKeyFile never replaces a key that texts already depend on.
    Key replacement;
    EXPECT_EQ(createKeyFile(keyPath().toStdString(), replacement), EEXIST);
    EXPECT_EQ(readFile(keyPath()), good + '\n');
}

TEST_F(DecryptTest, PlainTextStaysValidUntilTheNextCallOnTheSameThread)
{
    const std::string a = encipher(AsciiPlain, key);
    std::vector<char> buf(a.begin(), a.end());
    buf.push_back('\0');
    char *p = buf.data();
    ASSERT_EQ(ZarnDecryptStr(&p), 1);
    // Another thread's calls, good and bad, leave this thread's answer alone.
    std::thread([&] {
        EXPECT_EQ(decrypt(encipher(GbkPlain, key)), GbkPlain);
        EXPECT_EQ(decrypt("000"), std::nullopt);
    }).join();
    EXPECT_EQ(std::string(p), AsciiPlain);
}

// Without $ZARN_KEY_FILE the key lies beside the library file, wherever that
// is: a copy of the library in a folder of its own finds the key there.
TEST_F(DecryptTest, KeyFileBesideTheLibrary)
{
    const QString original = QString::fromLocal8Bit(
        zarn::imagePathContaining(reinterpret_cast<void *>(&ZarnDecryptStr)).c_str());
    ASSERT_TRUE(original.endsWith("libZarnDecryptString.so")) << original.toStdString();
    const QString copy = tmp.file("lib/libZarnDecryptString.so");
    writeFile(copy, readFile(original));

    void *lib = dlopen(copy.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto fn = reinterpret_cast<uint8_t (*)(char **)>(dlsym(lib, "ZarnDecryptStr"));
    ASSERT_NE(fn, nullptr);
    ASSERT_NE(reinterpret_cast<void *>(fn), reinterpret_cast<void *>(&ZarnDecryptStr));
    unsetenv(KeyFileVariable);
    const std::string text = encipher(GbkPlain, key);
    EXPECT_EQ(decryptWith(fn, text), std::nullopt); // no key beside the copy yet
    writeKey(tmp.file("lib/ZarnDecryptString.key"), key);
    EXPECT_EQ(decryptWith(fn, text), GbkPlain);
    // $ZARN_KEY_FILE comes first.
    setenv(KeyFileVariable, tmp.file("missing.key").toLocal8Bit().constData(), 1);
    EXPECT_EQ(decryptWith(fn, text), std::nullopt);
    dlclose(lib);
}

} // namespace
