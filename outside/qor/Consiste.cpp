#include "Consiste.h"

#include "DbTypes.h"  // utf8Length

#include <algorithm>

namespace {

bool digitsOnly(const std::string& texto) {
    return !texto.empty() && std::all_of(texto.begin(), texto.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

namespace Consiste {

std::string Ajusta(const std::string& texto, int width) {
    // Widths count characters, not bytes: "Ação" is four wide.
    const std::size_t length = utf8Length(texto);
    if (width <= 0 || length >= static_cast<std::size_t>(width)) return texto;
    const std::size_t missing = static_cast<std::size_t>(width) - length;
    if (digitsOnly(texto)) return std::string(missing, '0') + texto;
    return texto + std::string(missing, ' ');
}

bool EmptyString(const std::string& texto) {
    return std::all_of(texto.begin(), texto.end(), [](char c) { return c == ' '; });
}

}  // namespace Consiste
