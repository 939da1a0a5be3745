#pragma once
// Where the restaurant database is.

#include "QorExport.h"

#include <string>

namespace Geralqor {
// The connection string: the environment variable QOR_CONNECTION when set, else the key
// ConnectionString of conexao.ini in the executable's folder, else the SQLite database
// restaurante.db in the executable's folder. The argument is unused (callers pass "").
QOR_EXPORT std::string _GetStringConexQor(const std::string& unused);
}  // namespace Geralqor
