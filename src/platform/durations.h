#pragma once

#include <chrono>

// A span in milliseconds that keeps fractions: the settings file stores the
// server time-out as a fixed-point number of milliseconds. Whole seconds or
// milliseconds convert to it without a cast; a bare number does not.
using Milliseconds = std::chrono::duration<double, std::milli>;
