#pragma once
#include "Base/Base.h"
#include "High/High.h"
