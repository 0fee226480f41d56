// The switcher's portable core: include this for everything in klvo/core.
#pragma once
#include "keytable.h"
#include "memoryline.h"
#include "textfit.h"
#include "text.h"
#include "imecycle_core.h"
#include "tick_rules.h"
#include "flash_layout.h"
