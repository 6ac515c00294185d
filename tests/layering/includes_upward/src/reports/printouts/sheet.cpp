#include "reports/printouts/sheet.h"
int Sheet() {
    return 0;
}
