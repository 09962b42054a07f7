#include "simulatedmodule.h"
