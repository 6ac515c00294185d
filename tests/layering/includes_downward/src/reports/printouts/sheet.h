// A lower library under a shorter prefix, and the library itself; not a file
// of qrv_reports although in its folder, since this one has a CMakeLists.txt.
#pragma once
#include "reports/plot.h"
#include "reports/printouts/page_size.h"
int Sheet();
