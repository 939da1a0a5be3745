#pragma once
// PostgreSQL engine over libpq. Connects with a time limit; unquoted (lower-case) result
// column names are reported in upper case, as the statements write them. A connection the
// server dropped fails its statement and is opened again for the next one. Each statement text
// is prepared once per connection (the last 64 texts are kept) and run prepared from then on.

#include "DbDriver.h"

std::unique_ptr<DbDriver> openPostgresDriver(const ConnectionString& options);
