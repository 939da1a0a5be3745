#include "DbLog.h"

Q_LOGGING_CATEGORY(lcDatabase, "res.db", QtWarningMsg)
