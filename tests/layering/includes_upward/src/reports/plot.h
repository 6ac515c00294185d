// A library in a subfolder of the including one.
#pragma once
#include "reports/printouts/sheet.h"
int Plot();
