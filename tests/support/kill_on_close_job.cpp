#include "kill_on_close_job.h"

HANDLE CreateKillOnCloseJob()
{
    HANDLE job = CreateJobObjectW(NULL, NULL);
    if (job == NULL)
        return NULL;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return NULL;
    }
    return job;
}
