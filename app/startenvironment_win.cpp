// Windows starts no child of the picker: nothing to keep.
#include "startenvironment.h"

void keepStartEnvironment() { }
