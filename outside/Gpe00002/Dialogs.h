#pragma once
// The operations' dialogue variables (routines/Dialogues.h) for the package's callers, beside its
// routine variables.

#include "Gpe00002.h"
#include "routines/Dialogues.h"
