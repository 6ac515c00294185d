#include "day_file.h"
int DayFile() {
    return 0;
}
