#include "unit.h"
int Unit() {
    return 0;
}
