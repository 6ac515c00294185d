// A peer outside src/, from a header the library does not list.
#pragma once
#include "sim/unit.h"
