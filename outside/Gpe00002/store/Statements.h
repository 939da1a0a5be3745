#pragma once
// The package's statement texts, kept beside it in sql/ and built in as resources, one statement
// a file: NAME.sql where both engines take the same text, NAME.sqlite.sql and NAME.postgresql.sql
// where they differ (a statement of one engine alone, such as a row lock PostgreSQL needs and
// SQLite does not, has that engine's file only). A text may name a shared piece of statement as
// {PIECE}, which stands for sql/fragments/PIECE.sql. Parameters are written :P_NAME.

#include "core/Export.h"

#include <QString>
#include <QStringList>

enum class TSqlDialect;

namespace Gpe00002::Statements {

// The text of statement `name` for `dialect`, its pieces put in. A statement the engine has no
// text for, or a piece that is not there, raises std::logic_error naming it: a fault of the
// package, never of the data.
GPE00002_EXPORT QString text(const QString& name, TSqlDialect dialect);

// The names of the statements that `dialect` has a text for, sorted.
GPE00002_EXPORT QStringList names(TSqlDialect dialect);

}  // namespace Gpe00002::Statements
