#include "platform/widgetmodalboxes.h"

#include <utility>

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>

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

QString WidgetModalBoxes::saveFileBox(const QString &title, const QString &suggestedPath,
                                      const QString &filter, QWidget *over)
{
    QFileDialog dialog(over ? over : m_parent, title, suggestedPath, filter);
    dialog.setObjectName(QStringLiteral("saveFileBox"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // "PNG 图像 (*.png)": a name typed without a suffix is given ".png".
    static const QRegularExpression firstSuffix(QStringLiteral("\\*\\.(\\w+)"));
    if (const QRegularExpressionMatch match = firstSuffix.match(filter); match.hasMatch())
        dialog.setDefaultSuffix(match.captured(1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString WidgetModalBoxes::openFileBox(const QString &title, const QString &folder,
                                      const QString &filter, QWidget *over)
{
    QFileDialog dialog(over ? over : m_parent, title, folder, filter);
    dialog.setObjectName(QStringLiteral("openFileBox"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

void WidgetModalBoxes::messageBox(const QString &prompt, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok, m_parent);
    box.setObjectName(QStringLiteral("messageBox"));
    // A box opened from within this one's wait is the one a close is for until it is answered.
    const QPointer<QMessageBox> outer = std::exchange(m_message, &box);
    box.exec();
    m_message = outer;
}

void WidgetModalBoxes::closeMessageBox()
{
    if (m_message)
        m_message->done(QMessageBox::Ok);
}
