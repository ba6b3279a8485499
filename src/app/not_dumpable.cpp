#include "app/not_dumpable.h"

#include <sys/prctl.h>

bool makeProcessNotDumpable()
{
    return ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
}
