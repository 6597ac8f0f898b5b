// Insets of the four edges of a rectangle, in points: one definition for the whole program, the
// portable layer's.
#pragma once

#include "Platform/EdgeInsets.h"
