#include "app/programoffer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

ProgramOffer::ProgramOffer(QWidget *parent)
    : QWidget(parent), m_text(new QLabel(this)), m_resume(new QPushButton(tr("从中断处继续"), this)),
      m_stopPump(new QPushButton(tr("停止泵"), this))
{
    setObjectName(QStringLiteral("programOffer"));
    m_text->setObjectName(QStringLiteral("programOfferText"));
    m_text->setWordWrap(true);
    m_resume->setObjectName(QStringLiteral("programResume"));
    auto *runEnd = new QPushButton(tr("只运行结束段"), this);
    runEnd->setObjectName(QStringLiteral("programRunEnd"));
    m_stopPump->setObjectName(QStringLiteral("programStopPump"));
    auto *acknowledge = new QPushButton(tr("确认"), this);
    acknowledge->setObjectName(QStringLiteral("programOfferAck"));
    connect(m_resume, &QPushButton::clicked, this, &ProgramOffer::resumeRequested);
    connect(runEnd, &QPushButton::clicked, this, &ProgramOffer::runEndRequested);
    connect(m_stopPump, &QPushButton::clicked, this, &ProgramOffer::stopPumpRequested);
    connect(acknowledge, &QPushButton::clicked, this, &ProgramOffer::acknowledged);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_text, 1);
    row->addWidget(m_resume);
    row->addWidget(runEnd);
    row->addWidget(m_stopPump);
    row->addWidget(acknowledge);
    hide();
}

void ProgramOffer::offer(const QString &text, bool resumeAllowed, bool stopOffered)
{
    m_text->setText(text);
    m_resume->setVisible(resumeAllowed);
    m_stopPump->setVisible(stopOffered);
    show();
}

void ProgramOffer::withdraw()
{
    hide();
    m_text->clear();
}
