#include "platform/widgetmodalboxes.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

QString WidgetModalBoxes::inputBox(const QString &prompt, const QString &title,
                                   const QString &defaultAnswer)
{
    QInputDialog dialog(m_parent);
    dialog.setObjectName(QStringLiteral("inputBox"));
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultAnswer);
    dialog.setInputMode(QInputDialog::TextInput);
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

QString WidgetModalBoxes::choiceBox(const QString &prompt, const QString &title,
                                    const QStringList &choices, const QString &defaultAnswer)
{
    QInputDialog dialog(m_parent);
    dialog.setObjectName(QStringLiteral("inputBox"));
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setComboBoxItems(choices);
    dialog.setComboBoxEditable(true);
    // The offered text is the default answer, not the first choice.
    dialog.setTextValue(defaultAnswer);
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

QString WidgetModalBoxes::saveFileBox(const QString &title, const QString &suggestedPath)
{
    return QFileDialog::getSaveFileName(m_parent, title, suggestedPath);
}

void WidgetModalBoxes::messageBox(const QString &prompt, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok, m_parent);
    box.setObjectName(QStringLiteral("messageBox"));
    box.exec();
}
