#include "numbers/RW_compoundNumberWindow.h"
void RW_compoundNumberWindow::PB_doneAndExit_Action() {}
