#include "util/path.h"
