#pragma once

#include <sys/resource.h>

// Peak resident size so far of this process (RUSAGE_SELF) or of its waited-for children
// (RUSAGE_CHILDREN), in MiB.
double peakMiB(int who = RUSAGE_SELF);
