#include "jww/dump.h"
