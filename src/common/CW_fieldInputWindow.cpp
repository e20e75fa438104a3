#include "common/CW_fieldInputWindow.h"

#include "platform/Controls.h"
#include "platform/EditField.h"
#include "platform/TextHelpers.h"

using namespace fw;

WindowRecord CW_fieldInputWindow::Layout()
{
    WindowRecord r;
    r.title = QStringLiteral("Untitled");
    r.width = 358;
    r.height = 159;
    r.frame = WindowRecord::MovableModal;
    r.visible = true;
    r.resizeable = true;
    r.closeButton = false;
    r.maximizeButton = false;
    r.minimizeButton = false;
    return r;
}

void CW_fieldInputWindow::CreateControls()
{
    _CreateControls0();
}

void CW_fieldInputWindow::_CreateControls0()
{
    auto* prompt = add(new StaticText, QStringLiteral("ST_mainText"), 20, 14, 318, 35, LockLeft | LockTop | LockRight);
    prompt->setText(QStringLiteral("Untitled"));
    prompt->setTextAlign(1);
    prompt->setMultiLine(true);

    auto* input = add(new EditField, QStringLiteral("EF_input"), 20, 69, 318, 22, LockLeft | LockRight | LockBottom);
    input->setBorder(true);
    input->setBackColor(Qt::white);

    auto* save = add(new PushButton, QStringLiteral("PB_save"), 264, 117, 74, 22, LockRight | LockBottom);
    save->setCaption(QStringLiteral("Save"));
    save->Action = [this](PushButton&) { PB_save_Action(); };
    setDefaultButton(save);

    auto* cancel = add(new PushButton, QStringLiteral("PB_cancel"), 20, 117, 74, 22, LockLeft | LockBottom);
    cancel->setCaption(QStringLiteral("Cancel"));
    cancel->Action = [this](PushButton&) { PB_cancel_Action(); };
    setCancelButton(cancel);

    input->SetFocus();
}

void CW_fieldInputWindow::setPrompt(const QString& prompt)
{
    control<StaticText>(QStringLiteral("ST_mainText"))->setText(prompt);
}

void CW_fieldInputWindow::setFieldName(const QString& name)
{
    control<EditField>(QStringLiteral("EF_input"))->setAccessibleName(name);
}

void CW_fieldInputWindow::initialize(std::shared_ptr<CC_genericTransportObject> transport)
{
    transObj = std::move(transport);
    const QString proposed = transObj->getStringData();
    if (!proposed.isEmpty()) {
        auto* input = control<EditField>(QStringLiteral("EF_input"));
        input->setText(proposed);
        input->setSelStart(0);
        input->setSelLength(Len(proposed));
    }
    transObj->setUserCancel(true);
}

void CW_fieldInputWindow::PB_save_Action()
{
    if (transObj) {
        transObj->setUserCancel(false);
        transObj->setStringData(control<EditField>(QStringLiteral("EF_input"))->Text());
    }
    Close();
}

void CW_fieldInputWindow::PB_cancel_Action()
{
    Close();
}
