#pragma once

#include "entry/keypad.h"
#include "entry/setpointdialog.h"

#include <QString>

#include <functional>

class ModalBoxes;
class QLineEdit;

// The setpoints as the operator enters them: on the keypad into the flow and pressure boxes,
// or in the 设定(S) dialogs. A frame that results goes out through the window's send, with what
// sent it: a keypad frame names its entry ("键盘 L 0250"), not the key that ended it; a dialog's
// frame is left to the window (empty source). A wrong entry is told in a box.
class SetpointEntry
{
public:
    using Send = std::function<void(const QString &frame, const QString &source)>;

    SetpointEntry(Keypad *keypad, QLineEdit *flowBox, QLineEdit *pressureBox, ModalBoxes *boxes,
                  Send send);

    void pressL() { show(m_keypad->pressL(boxes())); }
    void pressP() { show(m_keypad->pressP(boxes())); }
    void pressDigit(int digit) { show(m_keypad->pressDigit(digit, boxes())); }
    // The dialog of that setpoint; the value answered is kept in *stored.
    void ask(SetpointDialog::Kind kind, double *stored);

private:
    Keypad::Boxes boxes() const;
    void show(const Keypad::Outcome &outcome);

    Keypad *m_keypad;
    QLineEdit *m_flowBox;
    QLineEdit *m_pressureBox;
    ModalBoxes *m_boxes;
    Send m_send;
};
