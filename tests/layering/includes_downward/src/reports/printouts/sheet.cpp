#include "reports/printouts/sheet.h"
int Sheet() {
    return Plot() + kPageLines;
}
