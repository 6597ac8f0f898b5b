// The view kit stops through the library's one stop helper.
#pragma once

#include "Fennix/Foundation/BaseTypes/FatalError.h"
