#include "OpsLog.h"

Q_LOGGING_CATEGORY(lcOps, "res.ops", QtWarningMsg)
