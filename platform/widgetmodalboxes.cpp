#include "widgetmodalboxes.h"

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

void WidgetModalBoxes::messageBox(const QString &prompt, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok, m_parent);
    box.setObjectName(QStringLiteral("messageBox"));
    box.exec();
}
