#pragma once

#include "platform/Graphics.h"

// The program's pictures, read from the application's resources on first use and kept for the life
// of the process. A missing resource yields a null picture and is tried again at the next call.
fw::Picture Splash_logo();
fw::Picture logoBadge();
fw::Picture headbar();

// How many times the resources have been read so far (a cache hit reads nothing).
int pictureResourceReads();
