// Fuzz target for the data-packet codec and its JSON form.
//
// Binary input: whatever decodes must re-encode to the very same bytes and decode to the same
// table, and if the table has a JSON form, that form must read back to the same table and be
// written identically again. Input starting with '{' is also read as JSON, and an accepted
// document must survive the same round trips. Any other exception than EPacketError escapes
// and counts as a crash.

#include "DataPacket.h"
#include "PacketJson.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

bool sameValue(const TFieldValue& a, const TFieldValue& b) {
    if (a.index() != b.index()) return false;
    if (a.index() == 3)  // NaN never equals itself: compare the bits
        return std::bit_cast<std::uint64_t>(std::get<3>(a)) == std::bit_cast<std::uint64_t>(std::get<3>(b));
    return a == b;
}

bool sameTable(const TPacketTable& a, const TPacketTable& b) {
    if (a.fields != b.fields || a.rows.size() != b.rows.size()) return false;
    for (std::size_t r = 0; r < a.rows.size(); ++r) {
        if (a.rows[r].size() != b.rows[r].size()) return false;
        for (std::size_t f = 0; f < a.rows[r].size(); ++f) {
            if (!sameValue(a.rows[r][f], b.rows[r][f])) return false;
        }
    }
    return true;
}

[[noreturn]] void mismatch(const char* what, const char* detail = "") {
    std::fprintf(stderr, "datapacket_fuzzer: %s%s\n", what, detail);
    std::abort();
}

QByteArray encodeOrAbort(const TPacketTable& table, const char* what) {
    try {
        return encodePacket(table);
    } catch (const EPacketError& error) {
        mismatch(what, error.what());
    }
}

TPacketTable decodeOrAbort(const QByteArray& bytes, const char* what) {
    try {
        return decodePacket(bytes);
    } catch (const EPacketError& error) {
        mismatch(what, error.what());
    }
}

void checkJsonRoundTrip(const TPacketTable& table) {
    QByteArray json;
    try {
        json = packetToJson(table);
    } catch (const EPacketError&) {
        return;  // no JSON form, e.g. a NaN or a date beyond the year 9999
    }
    TPacketTable back;
    try {
        back = packetFromJson(json);
    } catch (const EPacketError& error) {
        mismatch("JSON written for a table does not read back: ", error.what());
    }
    if (!sameTable(back, table)) mismatch("JSON round trip changed the table");
    if (packetToJson(back) != json) mismatch("JSON written twice differs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const QByteArray input = QByteArray::fromRawData(bytes, static_cast<qsizetype>(size));

    bool decoded = false;
    TPacketTable table;
    try {
        table = decodePacket(bytes, size);
        decoded = true;
    } catch (const EPacketError&) {}
    if (decoded) {
        const QByteArray encoded = encodeOrAbort(table, "decoded table does not encode: ");
        if (encoded != input) mismatch("re-encoding a decoded packet changed its bytes");
        if (!sameTable(decodeOrAbort(encoded, "re-encoded packet does not decode: "), table))
            mismatch("decoding the re-encoded packet gave another table");
        checkJsonRoundTrip(table);
    }

    if (size > 0 && data[0] == '{') {
        bool parsed = false;
        TPacketTable fromJson;
        try {
            fromJson = packetFromJson(input);
            parsed = true;
        } catch (const EPacketError&) {}
        if (parsed) {
            const QByteArray encoded = encodeOrAbort(fromJson, "table read from JSON does not encode: ");
            if (!sameTable(decodeOrAbort(encoded, "packet of a JSON table does not decode: "), fromJson))
                mismatch("binary round trip changed a table read from JSON");
            try {
                (void)packetToJson(fromJson);
            } catch (const EPacketError& error) {
                mismatch("table read from JSON cannot be written as JSON: ", error.what());
            }
            checkJsonRoundTrip(fromJson);
        }
    }
    return 0;
}
