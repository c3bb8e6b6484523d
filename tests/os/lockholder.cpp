// A second start as the picker makes it: 1 when another process holds the
// marker, 0 when it could take it (and gives it back by ending).
#include "os/singleinstance.h"

int main()
{
    return claimSingleInstance() ? 0 : 1;
}
