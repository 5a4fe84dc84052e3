// The C interface of Lattix.
#include "lattix.h"
