#pragma once
// The operations package's logging category "res.ops": refused and failed operations with
// their causes. Warnings show by default; QT_LOGGING_RULES="res.ops.info=true" adds the rest.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcOps)
