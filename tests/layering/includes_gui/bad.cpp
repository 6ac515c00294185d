#include "app/window/main_window.h"
int Bad() { return 0; }
