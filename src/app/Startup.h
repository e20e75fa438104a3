#pragma once

// The program's start-up, run in the QApplication its caller made.

// Names the application (message boxes without a title of their own show the name; window titles
// stay exactly as each window gives them) and registers the program's file types.
void setUpProgram();

// Sets the program up, opens the splash window and runs the event loop until the program quits;
// returns the exit status.
int runProgram();
