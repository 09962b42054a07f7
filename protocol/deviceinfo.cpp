#include "deviceinfo.h"
