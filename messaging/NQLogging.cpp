#include "NQLogging.h"

Q_LOGGING_CATEGORY(nqSocketLog, "nq.socket")
