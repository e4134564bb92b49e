// Registration of the library's own classes with the runtime.
#pragma once

#include "Cantrel.h"

extern "C" {
// Registers every class of the library once; later calls do nothing. The
// loader calls it before CantrelInitialize; tests call it themselves.
CANTREL_EXPORT void Cantrel_registerClasses();
}
