#include <QString>
int Bad() { return 0; }
