// The core floor of the platform layer: types, CObject, exceptions, files, strings, time.
#pragma once

#include "cstring.h"
#include "exceptions.h"
#include "file.h"
#include "object.h"
#include "rect.h"
#include "tick.h"
#include "wintypes.h"
