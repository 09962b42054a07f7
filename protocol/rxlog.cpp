#include "rxlog.h"
