#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The row under the program offering to take up an interrupted program again or to wind it
// down, in the window rather than a box, so that the panel stays usable meanwhile. When the
// program cannot be wound down it offers a plain stop of the pump instead, and 确认 settles it.
class ProgramOffer : public QWidget
{
    Q_OBJECT

public:
    explicit ProgramOffer(QWidget *parent = nullptr);

    void offer(const QString &text, bool resumeAllowed, bool stopOffered);
    void withdraw();

Q_SIGNALS:
    void resumeRequested();
    void runEndRequested();
    void stopPumpRequested();
    void acknowledged();

private:
    QLabel *m_text;
    QPushButton *m_resume;
    QPushButton *m_stopPump;
};
