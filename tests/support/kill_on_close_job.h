#ifndef QUENLARK_TESTS_KILL_ON_CLOSE_JOB_H
#define QUENLARK_TESTS_KILL_ON_CLOSE_JOB_H

#include <windows.h>

// A job whose processes all end when its last handle is closed, as when the
// process holding it ends; NULL when the system cannot make one.
HANDLE CreateKillOnCloseJob();

#endif
