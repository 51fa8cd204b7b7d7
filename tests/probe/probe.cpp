// Started through the launcher by the tests: the probe (probe_role.h), which
// reports what it was given and stays until released.
#include "probe_role.h"

int main()
{
    return RunProbe();
}
