#include "access_trace.h"
