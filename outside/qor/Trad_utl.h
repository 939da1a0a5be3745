#pragma once
// Screen translation.

#include "QorExport.h"

class QWidget;

namespace Trad_utl {
// Translates the texts of a form at its creation. The installation's language is Portuguese,
// in which every screen is written, so the texts stay as they are.
QOR_EXPORT void Trad(QWidget* form);
}  // namespace Trad_utl
