#pragma once
// PostgreSQL engine over libpq. Connects with a time limit; unquoted (lower-case) result
// column names are reported in upper case, as the statements write them. A connection the
// server dropped fails its statement and is opened again for the next one. Each statement text
// is prepared once per connection (the last 64 texts are kept) and run prepared from then on.
// Several hosts are tried in order, and the first that accepts writes is taken.

#include "DbDriver.h"

#include <QByteArray>
#include <utility>
#include <vector>

std::unique_ptr<DbDriver> openPostgresDriver(const ConnectionString& options);

// What libpq is given to find the server: "host", "port" and, for several hosts,
// "target_session_attrs" (libpq keyword, value). Throws EDatabaseError for a bad list.
std::vector<std::pair<QByteArray, QByteArray>> postgresServerSettings(const ConnectionString& options);
