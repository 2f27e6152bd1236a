#include "print/print_unit.h"
