#include "High/High.h"
#include "Low/Low.h"
