#pragma once

#include <QString>

// The two modal boxes the panel asks its operator with. Each call waits for the answer; timers
// and serial events go on being handled meanwhile. Tests answer through their own version.
class ModalBoxes
{
public:
    virtual ~ModalBoxes() = default;

    // Prompt, title and default answer; the text typed, or an empty text on cancel.
    virtual QString inputBox(const QString &prompt, const QString &title,
                             const QString &defaultAnswer) = 0;
    // Prompt and title, an OK button only, no icon.
    virtual void messageBox(const QString &prompt, const QString &title) = 0;
};
