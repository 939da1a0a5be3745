#pragma once
// Code helpers of the data side: the same rules as Consiste, plus iif.

#include "QorExport.h"

#include <QVariant>
#include <string>

namespace Srv_consiste {
QOR_EXPORT std::string Ajusta(const std::string& texto, int width);
QOR_EXPORT bool EmptyString(const std::string& texto);
QOR_EXPORT QVariant iif(bool condicao, const QVariant& a, const QVariant& b);
}  // namespace Srv_consiste
