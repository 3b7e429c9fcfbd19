#include "SettableClock.h"
