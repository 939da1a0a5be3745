#pragma once
// Code helpers of the screens.

#include "QorExport.h"

#include <string>

namespace Consiste {
// A code as a column of `width` holds it: a text of digits is left-padded with '0', any other
// text right-padded with blanks; a longer text is returned unchanged, never cut.
QOR_EXPORT std::string Ajusta(const std::string& texto, int width);
// True for an unset code: empty or blanks only.
QOR_EXPORT bool EmptyString(const std::string& texto);
}  // namespace Consiste
