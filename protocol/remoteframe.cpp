#include "remoteframe.h"
