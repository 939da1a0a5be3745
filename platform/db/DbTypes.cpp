#include "DbTypes.h"

const char* fieldTypeName(TFieldType type)
{
    switch (type) {
    case TFieldType::ftString: return "string";
    case TFieldType::ftInteger: return "integer";
    case TFieldType::ftFloat: return "float";
    case TFieldType::ftBoolean: return "boolean";
    case TFieldType::ftDateTime: return "datetime";
    }
    return "unknown";
}

// Counting lead bytes (everything except 10xxxxxx continuation bytes) gives the number of
// code points of valid UTF-8; on invalid input every stray byte counts as one character.
std::size_t utf8Length(const std::string& text)
{
    std::size_t count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

void utf8Truncate(std::string& text, std::size_t chars)
{
    if (text.size() <= chars)
        return;  // fewer bytes than the limit: fewer characters too
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        if (seen == chars) {
            text.resize(i);
            return;
        }
        ++seen;
    }
}
