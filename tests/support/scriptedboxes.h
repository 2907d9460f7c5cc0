#pragma once

#include "platform/modalboxes.h"

#include <QList>
#include <QStringList>

#include <functional>

// Answers the panel's modal boxes from a script and remembers what was asked.
class ScriptedBoxes final : public ModalBoxes
{
public:
    struct Question
    {
        QString prompt;
        QString title;
        QString defaultAnswer;
        QStringList choices; // offered in a list; empty for a plain input box
    };
    struct Message
    {
        QString prompt;
        QString title;
    };

    // The answers given to the next input boxes, in order; an empty answer is a cancel.
    QStringList answers;
    QList<Question> questions;
    QList<Message> messages;
    // Called while a message box would be on the screen, before it is answered.
    std::function<void(const Message &)> whileShown;

    QString inputBox(const QString &prompt, const QString &title,
                     const QString &defaultAnswer) override
    {
        questions.append({prompt, title, defaultAnswer, {}});
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }

    QString choiceBox(const QString &prompt, const QString &title, const QStringList &choices,
                      const QString &defaultAnswer) override
    {
        questions.append({prompt, title, defaultAnswer, choices});
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }

    // Save-file boxes take their answers from the same list.
    QString saveFileBox(const QString &title, const QString &suggestedPath,
                        const QString & = QString(), QWidget * = nullptr) override
    {
        questions.append({QString(), title, suggestedPath, {}});
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }

    // Open-file boxes too.
    QString openFileBox(const QString &title, const QString &folder, const QString & = QString(),
                        QWidget * = nullptr) override
    {
        questions.append({QString(), title, folder, {}});
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }

    void messageBox(const QString &prompt, const QString &title) override
    {
        messages.append({prompt, title});
        if (whileShown)
            whileShown(messages.last());
    }

    // How often the panel closed a box it had opened, because it was no longer true.
    int closedByPanel = 0;
    void closeMessageBox() override { ++closedByPanel; }
};
