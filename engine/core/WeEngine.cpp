#include "WeEngine.h"

WeEngine engine;
