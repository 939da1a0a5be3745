#pragma once
// Small helpers that tests of several units share: a stored value as text, the message of an
// expected database error, and a test-case name made from a case's text.

#include "TField.h"

#include <gtest/gtest.h>

#include <charconv>
#include <functional>
#include <string>
#include <string_view>

// A value as text: "<null>", floats in their shortest exact form, date-times as
// "YYYY-MM-DD hh:mm:ss".
inline std::string valueText(const TFieldValue& value) {
    switch (value.index()) {
    case 0: return "<null>";
    case 1: return std::get<std::string>(value);
    case 2: return std::to_string(std::get<std::int32_t>(value));
    case 3: {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::get<double>(value));
        return std::string(buffer, result.ptr);
    }
    case 4: return std::get<bool>(value) ? "true" : "false";
    default: return formatDateTimeText(std::get<TDateTimeValue>(value)).toStdString();
    }
}

// The message of the EDatabaseError that `action` throws; a test failure when it throws none.
inline QString dbError(const std::function<void()>& action) {
    try {
        action();
    } catch (const EDatabaseError& e) {
        return e.message();
    }
    ADD_FAILURE() << "expected EDatabaseError";
    return {};
}

// A name for a parameterised test case from its text, of the letters, digits and '_' that test
// names allow: operators and quotes are spelled out ("NRMESA <> '1'" gives NRMESA_ltgt_q1q).
inline std::string caseName(std::string_view text) {
    std::string name;
    for (const char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            name += c;
            continue;
        }
        switch (c) {
        case '=': name += "eq"; break;
        case '<': name += "lt"; break;
        case '>': name += "gt"; break;
        case '\'': name += "q"; break;
        case '-': name += "minus"; break;
        case '.': name += "dot"; break;
        case '(':
        case ')': name += "p"; break;
        case '[':
        case ']': name += "b"; break;
        default: name += '_';
        }
    }
    return name.empty() ? "empty" : name;
}
