#pragma once
// PostgreSQL engine over libpq. Connects with a time limit; unquoted (lower-case) result
// column names are reported in upper case, as the statements write them.

#include "DbDriver.h"

std::unique_ptr<DbDriver> openPostgresDriver(const ConnectionString& options);
