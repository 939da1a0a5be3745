#pragma once
// A document as a receipt printer's ESC/POS byte stream: initialise (ESC @), code page 860
// (ESC t 3, the Portuguese page), each line in its alignment (ESC a), bold (ESC E) or large
// (GS !, double width and height, so half the columns) and wrapped at the paper's columns, then
// a feed and a partial cut (GS V 66).

#include "core/PrintDocument.h"

#include <QByteArray>

namespace Gpe00002::EscPos {

inline constexpr char kCodePage860 = 3;  // n of ESC t n

// `text` in code page 860. Control characters become spaces (a note typed by a waiter never
// reaches the printer as a command); a character the page lacks prints as its base letter
// ("ñ" is there, "ë" becomes "e"), or as "?". Raises ERefusal when this Qt cannot convert to
// the page (a build without ICU).
GPE00002_EXPORT QByteArray toCp860(const QString& text);

// The rows a line takes at `width` characters: its text wrapped at spaces (a word longer than
// a row is cut; leading spaces indent every row), and its right part flush right on the last
// row, or on a row of its own when it does not fit there.
GPE00002_EXPORT QStringList rows(const PrintLine& line, int width);

GPE00002_EXPORT QByteArray document(const PrintDocument& document);

// Real-time status request (DLE EOT 1); the answer's bit 3 says the printer is off line.
inline constexpr char kStatusRequest[] = {0x10, 0x04, 0x01};
inline constexpr unsigned char kOffline = 0x08;
// The printer status byte always has bits 1 and 4 set and bits 0 and 7 clear: anything else did
// not come from a printer answering the request.
inline constexpr unsigned char kStatusFixedMask = 0x93;
inline constexpr unsigned char kStatusFixedBits = 0x12;

}  // namespace Gpe00002::EscPos
