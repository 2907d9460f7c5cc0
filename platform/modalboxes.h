#pragma once

#include <QString>
#include <QStringList>

class QWidget;

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
    // A file to save to: the path chosen, or an empty text on cancel. filter: the files the box
    // lists ("PNG 图像 (*.png)"), whose suffix a name typed without one gets; over: the window
    // the box belongs to and that stays in front after it, the panel's window when none.
    virtual QString saveFileBox(const QString &title, const QString &suggestedPath,
                                const QString &filter = QString(), QWidget *over = nullptr) = 0;
    // A file to open, asked in the same way: the path chosen, or an empty text on cancel.
    virtual QString openFileBox(const QString &title, const QString &folder,
                                const QString &filter = QString(), QWidget *over = nullptr) = 0;
    // Prompt and title, an OK button only, no icon.
    virtual void messageBox(const QString &prompt, const QString &title) = 0;
    // The message box on the screen (if any) is no longer true: it closes as if answered.
    virtual void closeMessageBox() = 0;
};
