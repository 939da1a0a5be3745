#pragma once
// Where the restaurant database is.

#include "QorExport.h"

#include <string>

namespace Geralqor {
// The connection string: the environment variable QOR_CONNECTION when set, else the key
// ConnectionString of conexao.ini in the executable's folder, else, only when there is no
// conexao.ini at all, the SQLite database restaurante.db in the executable's folder. The
// argument is unused (callers pass "").
// Throws EDatabaseError naming conexao.ini when the file is there but cannot be read as text
// (not a regular file, no permission, not text) or holds no usable ConnectionString (missing or
// empty, unparsable, without a known Provider or a Data Source): a terminal whose file is
// broken must not go on working on another database.
QOR_EXPORT std::string _GetStringConexQor(const std::string& unused);
}  // namespace Geralqor
