#include "core/Log.h"

Q_LOGGING_CATEGORY(lcOps, "res.ops", QtWarningMsg)
