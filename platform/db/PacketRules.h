#pragma once
// The rules of a data packet that both its forms, the binary one (DataPacket) and the JSON one
// (PacketJson), apply when they read or write one: what a field descriptor, a name and a value
// may be, and the shape of every error message. Internal to the database layer.

#include "DataPacket.h"

#include <QByteArrayView>
#include <QHash>

#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace PacketRules {

// A name or text for an error message, in quotes, with control characters escaped so that a
// hostile input cannot garble the terminal that shows the message.
std::string quoted(std::string_view text);

// Strictly valid UTF-8: no overlong forms, surrogates or code points above U+10FFFF. Plain ASCII,
// most codes and names, is settled here eight bytes at a time, much cheaper for short texts
// than Qt's out-of-line check (or a loop the compiler widens, whose set-up outweighs a code).
inline bool isValidUtf8(std::string_view text) {
    const char* p = text.data();
    std::size_t left = text.size();
    std::uint64_t seen = 0;
    for (; left >= 8; p += 8, left -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        seen |= word;
    }
    for (; left > 0; ++p, --left) seen |= static_cast<unsigned char>(*p);
    return (seen & 0x8080808080808080ull) == 0 ||
           QByteArrayView(text.data(), static_cast<qsizetype>(text.size())).isValidUtf8();
}

// Text from UTF-8 bytes already known to be valid. A leading U+FEFF is part of the text, not a
// byte order mark to drop (QString::fromUtf8 would drop it).
QString fromUtf8(std::string_view utf8);

// The names of the fields read or written so far, for the duplicate check and for messages.
class FieldNames {
public:
    // Adds the next field's name, as text and as its UTF-8 bytes. Answers what is wrong when an
    // earlier field has the same name, compared case-insensitively; empty when it is new.
    std::string add(const QString& name, std::string utf8);
    std::size_t size() const { return m_utf8.size(); }
    const std::string& utf8(std::size_t field) const { return m_utf8[field]; }

private:
    // Up to this many plain ASCII names, a new name is compared with the earlier ones in place,
    // which costs far less than hashing a case-folded copy of each (the usual packet); past it,
    // or at the first other character (which may fold onto an ASCII one: the Kelvin sign onto
    // k), every name goes into the hash of folded names.
    static constexpr std::size_t kPairwiseNames = 64;
    bool m_pairwise = true;
    QHash<QString, std::size_t> m_first;  // case-folded name -> first field with it
    std::vector<std::string> m_utf8;
};

// Throws EPacketError "HEAD<separator>row R, field F "NAME": WHAT", naming only what is known:
// a row or field below 0 is left out, and so is the name of a field not yet in `names`.
[[noreturn]] void fail(std::string_view head, std::string_view separator, std::int64_t row, std::int64_t field,
                       const FieldNames& names, std::string_view what);

std::string tooManyFields(std::size_t count);

// A field descriptor's problem and the part of the descriptor it lies in.
struct DescriptorProblem {
    enum class Part { Type, Size, Name } part;
    std::string what;
};
// The type code must be a TFieldType; the size a string field's width (0 to kMaxStringSize
// characters, 0 for no fixed width) and 0 for every other type; the name 1 to kMaxNameBytes
// bytes of UTF-8. Nothing when the descriptor keeps these rules.
std::optional<DescriptorProblem> descriptorProblem(unsigned typeCode, std::int64_t size, std::size_t nameBytes);

// A string value must be valid UTF-8 and, when its field has a size (not 0), hold at most that
// many characters. Inline: every string of every packet passes here.
inline bool stringFits(std::string_view text, std::size_t size) {
    // No more bytes than the size: no more characters either.
    return isValidUtf8(text) && (size == 0 || text.size() <= size || utf8Length(text) <= size);
}
// What is wrong with a string that does not fit.
std::string stringProblem(std::string_view text, std::size_t size);

// Checks a table before it is written in either form: the field count, every descriptor and
// name, and every row and value against the fields. Answers the names and the bytes the rows
// take in the binary form (so that the encoder needs no second pass); throws EPacketError
// "HEAD: row R, field F "NAME": what".
struct CheckedTable {
    FieldNames names;
    std::size_t binaryRowBytes = 0;
};
CheckedTable checkTable(const std::vector<TFieldDesc>& fields, const std::vector<TRecord>& rows, std::string_view head);
// The two halves of checkTable: the fields, answering their names, and the rows, answering the
// bytes they take in the binary form.
FieldNames checkFields(const std::vector<TFieldDesc>& fields, std::string_view head);
std::size_t checkRows(const std::vector<TFieldDesc>& fields, const FieldNames& names, const std::vector<TRecord>& rows,
                      std::string_view head);

}  // namespace PacketRules
