#include "app/Startup.h"
#include "numbers/SelectionList.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // Before any thread runs: every allocation reads the allocator's settings unguarded.
    returnLargeBlocksAtOnce();
    QApplication qtApp(argc, argv);
    return runProgram();
}
