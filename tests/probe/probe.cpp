// Started through the launcher by the end-to-end cases: the probe
// (probe_role.h), which reports what it was given and stays until released.
#include "probe_role.h"

int wmain(int, wchar_t**, wchar_t**)
{
    return RunProbe();
}
