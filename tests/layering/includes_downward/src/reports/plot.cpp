#include "reports/plot.h"
int Plot() {
    return DayFile();
}
