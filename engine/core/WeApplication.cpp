#include "WeApplication.h"

WeApplication* application = nullptr;
