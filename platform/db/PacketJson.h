#pragma once
// The JSON form of a data packet, shared with other tools. One compact document with the keys
// in this order:
//
//   {"fields":[{"name":"NRMESA","type":"string","size":4},...],"rows":[["0012",...],...]}
//
// "type" is one of string, integer, float, boolean, datetime; "size" is written for every field
// (0 for non-string types) and may be left out on input for non-string types. Values: strings
// exactly as stored, null, integers, floats in their shortest round-trip form, true/false,
// date-times as "YYYY-MM-DDTHH:MM:SS" with ".zzz" only when the milliseconds are not zero.
// packetFromJson reads back exactly what packetToJson writes; it also accepts JSON whitespace
// between tokens and fields' keys in any order, but "fields" must come before "rows".

#include "DataPacket.h"

#include <QByteArray>

// Throws EPacketError, naming field and row, for a table the JSON form cannot hold or the
// reader would reject (a non-finite float, a date outside the years 1 to 9999, a value of the
// wrong type, a string longer than its field, invalid UTF-8, a bad descriptor).
QByteArray packetToJson(const TPacketTable& table);

// Throws EPacketError, naming the offset and, for values, the row and field, for malformed JSON
// or values that do not fit the declared fields. Whitespace after the document is allowed.
TPacketTable packetFromJson(const QByteArray& json);
