#include "digiapi.h"
