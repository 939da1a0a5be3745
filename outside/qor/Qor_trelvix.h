#pragma once
// Database session helpers.

#include "QorExport.h"

#include <exception>
#include <string>

class TADOConnection;

namespace Qor_trelvix {
// Prepares a new session: SQLite gets foreign keys, PostgreSQL the UTF-8
// client encoding, the application name and the terminal's time zone (where the server knows
// it). Throws the database's error.
QOR_EXPORT void SetADODBSession(TADOConnection& connection);
// A Portuguese one-line message for a failed database call, with the database's own text:
// "Erro de banco de dados: <text>".
QOR_EXPORT std::string ADOExceptionMessage(const std::exception& error, TADOConnection& connection,
                                           const std::string& complemento);
// Connects, answering false instead of raising when the connection fails.
QOR_EXPORT bool TryConnect(TADOConnection& connection);
}  // namespace Qor_trelvix
