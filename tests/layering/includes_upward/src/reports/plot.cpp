// The same, found next to the including file.
#include "printouts/sheet.h"
int Plot() {
    return 0;
}
