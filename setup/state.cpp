// The installer's one run-state record.
#include "setup.h"

SetupState g_setup;
