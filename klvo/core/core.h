// The switcher's portable core: include this for everything in klvo/core.
#pragma once
