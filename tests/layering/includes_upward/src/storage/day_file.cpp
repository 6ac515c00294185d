// A layer above, from a source.
#include "reports/plot.h"
int DayFile() {
    return 0;
}
