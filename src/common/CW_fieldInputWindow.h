#pragma once

#include "common/CC_genericTransportObject.h"
#include "platform/Window.h"

#include <memory>

namespace fw {
class EditField;
class PushButton;
class StaticText;
}

// Modal one-line text prompt with "Save" (Return) and "Cancel" (Escape). The caller sets the title, the
// prompt (ST_mainText) and the name assistive tools give the entry field (what is typed there), calls
// initialize with a transport object holding the proposed text, shows it modally and reads the answer
// from the transport object.
class CW_fieldInputWindow : public fw::Window {
public:
    void initialize(std::shared_ptr<CC_genericTransportObject> transport);
    void setPrompt(const QString& prompt);
    void setFieldName(const QString& name);

    void PB_save_Action();
    void PB_cancel_Action();

protected:
    fw::WindowRecord Layout() override;
    void CreateControls() override;

private:
    void _CreateControls0();

    std::shared_ptr<CC_genericTransportObject> transObj;
};
