// The whole portable core of the installer.
#pragma once

#include "script.h"
#include "cmdline.h"
#include "progress.h"
#include "check.h"
#include "pending.h"
