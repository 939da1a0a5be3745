#pragma once
// Documents on pages, in Liberation Sans (Liberation Mono for a fixed-pitch one): a PDF file on 80 mm wide paper as
// long as the document (up to 400 mm a page), or a system printer's own pages. Raise ERefusal saying why.

#include "core/PrintDocument.h"

namespace Gpe00002::PagePrinter {

// Writes a new file in `folder` (made when missing), named after the title and the time, and
// answers its path. The file appears whole or not at all.
QString printPdf(const PrintDocument& document, const QString& folder);
void printOnSystemPrinter(const PrintDocument& document, const QString& name);

}  // namespace Gpe00002::PagePrinter
