#pragma once
#include "Base/Base.h"
#include "High/Other.h"
#include "Low/Low.h"
