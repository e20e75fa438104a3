#pragma once

#include <QString>

// Shared message-box functions and the digit test.
namespace M_globals {

// Modal caution box with an action button, a cancel button and, when altCaption is not empty, an
// alternate button. Returns 1 for the action button, 2 for the alternate one, 0 for cancel or no button.
int dialogGeneric(const QString& message, const QString& explanation, const QString& actionCaption,
                  const QString& altCaption, const QString& cancelCaption);

// "Confirm"/"Cancel" box; true only when the user pressed "Confirm".
bool dialogConfirm(const QString& message, const QString& explanation);

// True when no character of text is other than "0" to "9" (so the empty text is a digit text).
bool isDigit(const QString& text);

} // namespace M_globals
