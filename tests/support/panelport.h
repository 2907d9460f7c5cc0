#pragma once

#include "app/form1.h"
#include "platform/serialcontrol.h"
#include "tests/support/scriptedboxes.h"
#include "tools/pty/pseudoterminal.h"

#include <QAction>

// Opens port 1 on the pseudo-terminal the way the operator does: 通信, then "1". True when the
// port is open and no box was shown.
inline bool openPanelPort(Form1 &form, ScriptedBoxes &boxes, const PseudoTerminal &pty)
{
    form.serialControl()->setPortMap({{1, pty.slavePath()}});
    boxes.answers << QStringLiteral("1");
    form.findChild<QAction *>(QStringLiteral("Communication"))->trigger();
    return form.serialControl()->portOpen() && boxes.messages.isEmpty();
}
