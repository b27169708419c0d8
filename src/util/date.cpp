#include "util/date.h"
