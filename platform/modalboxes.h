#pragma once

#include <QString>
#include <QStringList>

// The modal boxes the panel asks its operator with. Each call waits for the answer; timers
// and serial events go on being handled meanwhile. Tests answer through their own version.
class ModalBoxes
{
public:
    virtual ~ModalBoxes() = default;

    // Prompt, title and default answer; the text typed, or an empty text on cancel.
    virtual QString inputBox(const QString &prompt, const QString &title,
                             const QString &defaultAnswer) = 0;
    // The same with a list to choose from; the answer may also be typed. defaultAnswer is the
    // text offered, whether or not it is in the list.
    virtual QString choiceBox(const QString &prompt, const QString &title,
                              const QStringList &choices, const QString &defaultAnswer) = 0;
    // A file to save to: the path chosen, or an empty text on cancel.
    virtual QString saveFileBox(const QString &title, const QString &suggestedPath) = 0;
    // Prompt and title, an OK button only, no icon.
    virtual void messageBox(const QString &prompt, const QString &title) = 0;
};
