#include "digi_api_build.h"
