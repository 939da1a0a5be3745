#include "PacketRules.h"

#include <QStringDecoder>

#include <algorithm>
#include <limits>

using namespace DataPacketFormat;

namespace PacketRules {

std::string quoted(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string result;
    result.reserve(text.size() + 2);
    result += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            result += "\\x";
            result += kHex[byte >> 4];
            result += kHex[byte & 0xF];
        } else {
            result += c;
        }
    }
    result += '"';
    return result;
}

QString fromUtf8(std::string_view utf8) {
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

namespace {
// Every byte of a name, NUL included, is compared.
char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string FieldNames::add(const QString& name, std::string utf8) {
    const std::size_t index = m_utf8.size();
    m_utf8.push_back(std::move(utf8));
    const std::string& bytes = m_utf8.back();
    const auto duplicate = [this](std::size_t first) {
        return "duplicate field name (same as field " + std::to_string(first) + " " + quoted(m_utf8[first]) + ")";
    };
    const bool ascii =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (m_pairwise && index < kPairwiseNames && ascii) {
        for (std::size_t j = 0; j < index; ++j) {
            if (std::equal(m_utf8[j].begin(), m_utf8[j].end(), bytes.begin(), bytes.end(),
                           [](char a, char b) { return asciiLower(a) == asciiLower(b); }))
                return duplicate(j);
        }
        return {};
    }
    if (m_pairwise) {
        m_pairwise = false;
        for (std::size_t j = 0; j < index; ++j) {
            const QString earlier = fromUtf8(m_utf8[j]).toCaseFolded();
            if (!m_first.contains(earlier)) m_first.insert(earlier, j);
        }
    }
    const QString folded = name.toCaseFolded();
    if (const auto it = m_first.constFind(folded); it != m_first.constEnd()) return duplicate(*it);
    m_first.insert(folded, index);
    return {};
}

void fail(std::string_view head, std::string_view separator, std::int64_t row, std::int64_t field,
          const FieldNames& names, std::string_view what) {
    std::string message(head);
    if (row >= 0) {
        message += separator;
        message += "row " + std::to_string(row);
        separator = ", ";
    }
    if (field >= 0) {
        message += separator;
        message += "field " + std::to_string(field);
        if (static_cast<std::size_t>(field) < names.size())
            message += ' ' + quoted(names.utf8(static_cast<std::size_t>(field)));
    }
    message += ": ";
    message += what;
    throw EPacketError(message);
}

std::string tooManyFields(std::size_t count) {
    return "too many fields: " + std::to_string(count) + " (at most " + std::to_string(kMaxFields) + ")";
}

std::optional<DescriptorProblem> descriptorProblem(unsigned typeCode, std::int64_t size, std::size_t nameBytes) {
    using Part = DescriptorProblem::Part;
    if (typeCode < static_cast<unsigned>(TFieldType::ftString) ||
        typeCode > static_cast<unsigned>(TFieldType::ftDateTime))
        return DescriptorProblem{Part::Type, "unknown type code " + std::to_string(typeCode)};
    const auto type = static_cast<TFieldType>(typeCode);
    if (type == TFieldType::ftString) {
        if (size < 0 || size > kMaxStringSize) {
            return DescriptorProblem{Part::Size, "string size " + std::to_string(size) + " out of range (0 to " +
                                                     std::to_string(kMaxStringSize) + ")"};
        }
    } else if (size != 0) {
        return DescriptorProblem{Part::Size, "size " + std::to_string(size) + " not allowed for type " +
                                                 fieldTypeName(type) + " (must be 0)"};
    }
    if (nameBytes == 0) return DescriptorProblem{Part::Name, "empty field name"};
    if (nameBytes > kMaxNameBytes) {
        return DescriptorProblem{Part::Name, "field name of " + std::to_string(nameBytes) +
                                                 " bytes is too long (at most " + std::to_string(kMaxNameBytes) + ")"};
    }
    return std::nullopt;
}

std::string stringProblem(std::string_view text, std::size_t size) {
    if (!isValidUtf8(text)) return "string is not valid UTF-8";
    return "string of " + std::to_string(utf8Length(text)) + " characters is longer than its field (size " +
           std::to_string(size) + ")";
}

namespace {

// Bytes of a non-null value of a fixed-width type in the binary form.
std::size_t fixedWidth(TFieldType type) {
    switch (type) {
    case TFieldType::ftInteger: return 4;
    case TFieldType::ftFloat: return 8;
    case TFieldType::ftBoolean: return 1;
    case TFieldType::ftDateTime: return 8;
    case TFieldType::ftString: break;
    }
    return 0;
}

}  // namespace

FieldNames checkFields(const std::vector<TFieldDesc>& fields, std::string_view head) {
    FieldNames names;
    auto failAt = [&](std::int64_t field, std::string_view what) { fail(head, ": ", -1, field, names, what); };
    if (fields.size() > kMaxFields) failAt(-1, tooManyFields(fields.size()));
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const TFieldDesc& field = fields[i];
        const auto index = static_cast<std::int64_t>(i);
        std::string utf8 = field.name.toStdString();
        const std::size_t nameBytes = utf8.size();
        const std::string duplicate = names.add(field.name, std::move(utf8));
        if (const auto problem = descriptorProblem(static_cast<unsigned>(field.type), field.size, nameBytes))
            failAt(index, problem->what);
        if (!field.name.isValidUtf16()) failAt(index, "field name holds an unpaired surrogate");
        if (!duplicate.empty()) failAt(index, duplicate);
    }
    return names;
}

std::size_t checkRows(const std::vector<TFieldDesc>& fields, const FieldNames& names, const std::vector<TRecord>& rows,
                      std::string_view head) {
    auto failAt = [&](std::int64_t row, std::int64_t field, std::string_view what) {
        fail(head, ": ", row, field, names, what);
    };
    const std::size_t fieldCount = fields.size();
    if (fieldCount == 0 && !rows.empty())
        failAt(-1, -1, "rows but no fields: " + std::to_string(rows.size()) + " rows");
    if (rows.size() > kMaxRows) failAt(-1, -1, "too many rows: " + std::to_string(rows.size()));
    std::size_t total = rows.size() * ((fieldCount + 7) / 8);  // null bitmaps
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const TRecord& row = rows[r];
        const auto rowIndex = static_cast<std::int64_t>(r);
        if (row.size() != fieldCount) {
            failAt(rowIndex, -1,
                   "has " + std::to_string(row.size()) + " values for " + std::to_string(fieldCount) + " fields");
        }
        for (std::size_t f = 0; f < fieldCount; ++f) {
            const TFieldValue& value = row[f];
            if (value.index() == 0) continue;
            const TFieldDesc& field = fields[f];
            if (value.index() != static_cast<std::size_t>(field.type)) {
                failAt(rowIndex, static_cast<std::int64_t>(f),
                       std::string("value of type ") + fieldTypeName(static_cast<TFieldType>(value.index())) +
                           " in a " + fieldTypeName(field.type) + " field");
            }
            if (field.type != TFieldType::ftString) {
                total += fixedWidth(field.type);
                continue;
            }
            const std::string& text = std::get<1>(value);
            if (text.size() > std::numeric_limits<std::uint32_t>::max())
                failAt(rowIndex, static_cast<std::int64_t>(f),
                       "string of " + std::to_string(text.size()) + " bytes is too long");
            if (!stringFits(text, static_cast<std::size_t>(field.size)))
                failAt(rowIndex, static_cast<std::int64_t>(f),
                       stringProblem(text, static_cast<std::size_t>(field.size)));
            total += 4 + text.size();
        }
    }
    return total;
}

CheckedTable checkTable(const std::vector<TFieldDesc>& fields, const std::vector<TRecord>& rows,
                        std::string_view head) {
    CheckedTable checked;
    checked.names = checkFields(fields, head);
    checked.binaryRowBytes = checkRows(fields, checked.names, rows, head);
    return checked;
}

}  // namespace PacketRules
