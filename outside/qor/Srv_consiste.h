#pragma once
// Code helpers of the data side: the same rules as Consiste.

#include "QorExport.h"

#include <string>

namespace Srv_consiste {
QOR_EXPORT std::string Ajusta(const std::string& texto, int width);
QOR_EXPORT bool EmptyString(const std::string& texto);
}  // namespace Srv_consiste
