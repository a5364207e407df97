// The connection-string parser and its mapping to a driver, on any text.
#include "data/connection_string.h"
#include "data/errors.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const zarn::ConnectionString cs = zarn::ConnectionString::parse(text);
    for (const zarn::ConnectionPair &p : cs.pairs()) {
        // Every key written is found again, in any ASCII case (keys are
        // ASCII names; a non-ASCII letter may change length in upper case).
        const bool ascii =
            std::all_of(p.key.begin(), p.key.end(), [](QChar c) { return c.unicode() < 0x80; });
        const QString upper = ascii ? p.key.toUpper() : p.key;
        if (!p.key.isEmpty() && !cs.contains(upper)) {
            fprintf(stderr, "key not found again\n");
            abort();
        }
    }
    for (bool oci : {false, true}) {
        try {
            (void)zarn::mapConnectionString(text, oci);
        } catch (const zarn::Error &) {
            // An unusable string is an error the session reports; anything else would escape.
        }
    }
    return 0;
}
