// Windows starts no child of the picker: nothing to keep.
#include "app/startenvironment.h"

void keepStartEnvironment() { }
