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

namespace {

// A box grows as wide as its longest unbroken run of text, and a path has no blanks: runs
// longer than this get places where the line may break.
constexpr int kLongestRun = 60;

QString breakableRuns(const QString &text)
{
    QString out;
    int run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > kLongestRun) {
            out += QChar(0x200B); // zero-width space: a place to break, nothing to see
            run = 1;
        }
        out += c;
    }
    return out;
}

} // namespace

void WidgetModalBoxes::messageBox(const QString &prompt, const QString &title)
{
    const QString shown = breakableRuns(prompt);
    QMessageBox box(QMessageBox::NoIcon, title, shown, QMessageBox::Ok, m_parent);
    box.setObjectName(QStringLiteral("messageBox"));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Where breaks were put in, the text as it is stays to be copied whole.
    if (shown != prompt)
        box.setDetailedText(prompt);
    box.exec();
}
