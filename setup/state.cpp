// The installer's one run-state record.
#include "setup.h"

SetupState g_setup;

int CancelledByUser()
{
    g_setup.userCancelled = 1;
    return 0;
}
