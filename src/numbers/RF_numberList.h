#pragma once

#include "platform/Dialogs.h"

// The program's file types: the one member "Number List" (extension "rcn"), built once at start-up.
class RF_numberList {
public:
    static void _Initialize();
    static const fw::FileType& NumberList();
};
