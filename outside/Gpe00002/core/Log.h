#pragma once
// The operations package's logging category "res.ops": refused and failed operations with
// their causes. Warnings show by default; QT_LOGGING_RULES="res.ops.info=true" adds the rest.

#include "core/Export.h"

#include <QLoggingCategory>

// Declared by hand: the category is defined in one library and used from the other.
GPE00002_EXPORT const QLoggingCategory& lcOps();
