#pragma once
#include "storage/day_file.h"
int Plot();
