#include "parameterwrites.h"
