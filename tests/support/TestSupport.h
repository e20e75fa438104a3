#pragma once

#include <QString>
#include <functional>

namespace testsupport {

// Processes events until pred() holds or timeoutMs passes; returns pred()'s last value.
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 5000);

// Lets queued events (deferred deletes included) run once.
void settle();

// Folder of the built executables (the program and its back-end).
QString binDir();

} // namespace testsupport
