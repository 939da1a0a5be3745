// Fuzz target for connection strings: the input, read as UTF-8, is parsed and the keys the
// connection and its drivers look up are read.
//
// EDatabaseError (an entry without '=', an unterminated quote) is the expected answer to a bad
// string; any other exception escapes and counts as a crash. Every value read must come back
// unchanged when written as a quoted value (a doubled quote inside) and parsed again.

#include "ConnectionString.h"
#include "DbTypes.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// The keys TADOConnection and the SQLite and PostgreSQL drivers read.
const char* const kKeys[] = {
    "Provider", "Data Source",     "Create",           "Port",   "Initial Catalog", "User ID",
    "Password", "Connect Timeout", "Application Name", "Schema",
};

[[noreturn]] void mismatch(const char* what, const char* key, const QString& value) {
    std::fprintf(stderr, "connectionstring_fuzzer: %s (key '%s', value '%s')\n", what, key, value.toUtf8().constData());
    std::abort();
}

QString quoted(QString value) {
    return QLatin1Char('"') + value.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ConnectionString options;
    try {
        options = ConnectionString::parse(text);
    } catch (const EDatabaseError&) {
        return 0;
    }
    for (const char* key : kKeys) {
        const QString name = QString::fromLatin1(key);
        const QString value = options.value(name);
        if (!options.contains(name)) continue;
        ConnectionString again;
        try {
            again = ConnectionString::parse(name + QLatin1Char('=') + quoted(value));
        } catch (const EDatabaseError&) {
            mismatch("a quoted value does not parse", key, value);
        }
        if (again.value(name) != value) mismatch("a quoted value reads back differently", key, value);
    }
    return 0;
}
