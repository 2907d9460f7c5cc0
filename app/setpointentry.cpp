#include "app/setpointentry.h"

#include "platform/modalboxes.h"

#include <QCoreApplication>
#include <QLineEdit>

SetpointEntry::SetpointEntry(Keypad *keypad, QLineEdit *flowBox, QLineEdit *pressureBox,
                             ModalBoxes *boxes, Send send)
    : m_keypad(keypad), m_flowBox(flowBox), m_pressureBox(pressureBox), m_boxes(boxes),
      m_send(std::move(send))
{
}

Keypad::Boxes SetpointEntry::boxes() const
{
    return {m_flowBox->text(), m_pressureBox->text()};
}

void SetpointEntry::show(const Keypad::Outcome &outcome)
{
    // Rewriting an unchanged box would only move the operator's cursor.
    if (m_flowBox->text() != outcome.boxes.lqset)
        m_flowBox->setText(outcome.boxes.lqset);
    if (m_pressureBox->text() != outcome.boxes.prset)
        m_pressureBox->setText(outcome.boxes.prset);
    if (!outcome.frame.isEmpty())
        m_send(outcome.frame, QCoreApplication::translate("SetpointEntry", "键盘 %1 %2")
                                  .arg(outcome.frame.mid(3, 1), outcome.frame.mid(4, 4)));
    if (!outcome.errorPrompt.isEmpty())
        m_boxes->messageBox(outcome.errorPrompt, QString::fromUtf8(Keypad::kErrorTitle));
}

void SetpointEntry::ask(SetpointDialog::Kind kind, double *stored)
{
    const SetpointDialog::Question question = SetpointDialog::question(kind);
    const SetpointDialog::Outcome outcome = SetpointDialog::answer(
        kind, m_boxes->inputBox(question.prompt, question.title, question.defaultAnswer));
    if (outcome.stored)
        *stored = *outcome.stored;
    if (!outcome.errorPrompt.isEmpty())
        m_boxes->messageBox(outcome.errorPrompt, QString::fromUtf8(SetpointDialog::kErrorTitle));
    if (!outcome.frame.isEmpty())
        m_send(outcome.frame, QString());
}
