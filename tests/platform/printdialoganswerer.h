#pragma once

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QTimer>

// Answers the printer dialog "CommonDialog1" through its own widgets once it is the active
// modal widget: types the copies and presses Print, or presses Cancel when copies is 0. Any
// other modal widget is noted in `unexpected` and closed, since printing shows nothing else.
class PrintDialogAnswerer
{
public:
    explicit PrintDialogAnswerer(int copies) : m_copies(copies)
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { answer(); });
        m_timer.start(20);
    }

    int answered = 0;
    QStringList unexpected;
    QString problem;

private:
    void answer()
    {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        if (dialog->objectName() != QLatin1String("CommonDialog1")) {
            unexpected.append(QString::fromLatin1(dialog->metaObject()->className()) + u' ' +
                              dialog->objectName());
            dialog->reject();
            return;
        }
        ++answered;
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        auto *copies = dialog->findChild<QSpinBox *>(QStringLiteral("copies"));
        if (!buttons || !copies) {
            problem = QStringLiteral("the dialog has no button box or copies box");
            dialog->reject();
            return;
        }
        if (m_copies == 0) {
            buttons->button(QDialogButtonBox::Cancel)->click();
            return;
        }
        copies->setValue(m_copies);
        buttons->button(QDialogButtonBox::Ok)->click();
    }

    int m_copies;
    QTimer m_timer;
};
