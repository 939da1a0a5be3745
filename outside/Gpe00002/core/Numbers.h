#pragma once
// Numbers as the restaurant's data and its people write them: codes made of digits, which old
// rows keep with or without their leading zeros ("0021", "21"), and quantities, which every
// comparison and split takes in thousandths and the screens write the Portuguese way ("0,452").

#include "core/Export.h"

#include <QString>

namespace Gpe00002 {

// Not empty, and nothing but the digits 0 to 9.
GPE00002_EXPORT bool allDigits(const QString& text);
// "0021" is "21", "0000" is "0": the zeros a number starts with, but its last character.
GPE00002_EXPORT QString withoutLeadingZeros(const QString& text);

// A quantity in thousandths.
GPE00002_EXPORT qint64 milli(double quantity);
// A quantity as the lists and the slips write it: "2", "0,452", "1000" (to the thousandth).
GPE00002_EXPORT QString quantityText(double quantity);

}  // namespace Gpe00002
