// Log.h - the store logs its own events through QOVILog, like its callers.
#pragma once

#include "QOVICommon.h"
