// The switcher's settings record.
#include "klvo.h"

SettingsRecord Settings;
