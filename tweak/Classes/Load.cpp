// Runs the library's initialisation when the code-injection host loads it,
// before the Music app can reach any replaced method.
#include "Cantrel.h"
#include "Classes.h"

__attribute__((constructor)) static void CantrelLoad() {
    Cantrel_registerClasses();
    CantrelInitialize();
}
