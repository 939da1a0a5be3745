#pragma once
// The numeric keypad as a routine variable: one of the package's interface (Gpe00002.h), which
// the operations' dialogues ask through as well, so that whatever stands in its place (a test, a
// scripted run) answers them too.

#include "core/Export.h"

#include <functional>
#include <string>

namespace Gpe00002 {

// True with `valor` holding what was typed, false when cancelled (`valor` then holds what it
// held before).
using TTecladoNumerico =
    std::function<bool(std::string& valor, const std::string& caption, const std::string& prompt,
                       const std::string& prompt2, int tamanho, int a1, int a2, int a3, int a4, int a5)>;

extern GPE00002_EXPORT TTecladoNumerico TecladoNumerico;

}  // namespace Gpe00002
