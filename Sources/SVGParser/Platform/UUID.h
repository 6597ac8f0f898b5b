#pragma once

#include <string>

/// A new random UUID as upper-case hexadecimal in the 8-4-4-4-12 form.
std::string newUUIDString();
