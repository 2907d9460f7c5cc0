#pragma once

#include "platform/modalboxes.h"

#include <QMessageBox>
#include <QPointer>

class QWidget;

// The modal boxes as real dialogs over the panel's window.
class WidgetModalBoxes final : public ModalBoxes
{
public:
    explicit WidgetModalBoxes(QWidget *parent) : m_parent(parent) {}

    QString inputBox(const QString &prompt, const QString &title,
                     const QString &defaultAnswer) override;
    QString choiceBox(const QString &prompt, const QString &title, const QStringList &choices,
                      const QString &defaultAnswer) override;
    QString saveFileBox(const QString &title, const QString &suggestedPath,
                        const QString &filter = QString(), QWidget *over = nullptr) override;
    QString openFileBox(const QString &title, const QString &folder,
                        const QString &filter = QString(), QWidget *over = nullptr) override;
    void messageBox(const QString &prompt, const QString &title) override;
    void closeMessageBox() override;

private:
    QWidget *m_parent;
    QPointer<QMessageBox> m_message; // the message box on the screen
};
