#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The row under the program offering to take up an interrupted program again or to wind it
// down, in the window rather than a box, so that the panel stays usable meanwhile.
class ProgramOffer : public QWidget
{
    Q_OBJECT

public:
    explicit ProgramOffer(QWidget *parent = nullptr);

    void offer(const QString &text, bool resumeAllowed);
    void withdraw();

Q_SIGNALS:
    void resumeRequested();
    void runEndRequested();

private:
    QLabel *m_text;
    QPushButton *m_resume;
};
