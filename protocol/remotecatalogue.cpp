#include "remotecatalogue.h"
