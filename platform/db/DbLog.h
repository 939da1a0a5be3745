#pragma once
// The database layer's logging category "res.db": connects, reconnects, statements that ran out
// of time and connections given up. Warnings show by default; QT_LOGGING_RULES="res.db.info=true"
// adds every connect.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcDatabase)
