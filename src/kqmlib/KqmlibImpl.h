#pragma once
// What the exported functions return for an exception raised inside the library.

#include <cstdint>

#include "Exception.h"

std::int32_t ResultCodeOf(const Exception& E) noexcept;
