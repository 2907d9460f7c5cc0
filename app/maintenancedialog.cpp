#include "app/maintenancedialog.h"

#include "app/pumpcare.h"
#include "platform/modalboxes.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

using CareCounter::Kind;

MaintenanceDialog::MaintenanceDialog(PumpCare *care, ModalBoxes *boxes, const QString &who,
                                     QWidget *parent)
    : QDialog(parent), m_care(care), m_boxes(boxes), m_who(who)
{
    setObjectName(QStringLiteral("maintenanceDialog"));
    setWindowTitle(tr("维护"));
    auto *grid = new QGridLayout;
    const QStringList headings{tr("计数"), tr("当前"), tr("限值"), QString(), tr("上次维护"),
                               QString()};
    for (int column = 0; column < headings.size(); ++column)
        grid->addWidget(new QLabel(headings.at(column), this), 0, column);
    for (const Kind kind : CareCounter::kAll) {
        const int row = int(kind) + 1;
        const QString key = CareCounter::key(kind);
        grid->addWidget(new QLabel(CareCounter::name(kind), this), row, 0);
        m_values[int(kind)] = new QLabel(this);
        m_values[int(kind)]->setObjectName(QStringLiteral("careValue_") + key);
        grid->addWidget(m_values[int(kind)], row, 1);
        // The highest pressure is a record of what the pump met, not a part's wear.
        if (kind != Kind::HighestPressure) {
            m_limits[int(kind)] = new QLineEdit(this);
            m_limits[int(kind)]->setObjectName(QStringLiteral("careLimit_") + key);
            m_limits[int(kind)]->setPlaceholderText(tr("不设"));
            grid->addWidget(m_limits[int(kind)], row, 2);
            grid->addWidget(new QLabel(CareCounter::unit(kind), this), row, 3);
        }
        m_services[int(kind)] = new QLabel(this);
        m_services[int(kind)]->setObjectName(QStringLiteral("careService_") + key);
        grid->addWidget(m_services[int(kind)], row, 4);
        auto *done = new QPushButton(tr("已维护"), this);
        done->setObjectName(QStringLiteral("careServiced_") + key);
        done->setAutoDefault(false);
        connect(done, &QPushButton::clicked, this, [this, kind] { serviced(kind); });
        grid->addWidget(done, row, 5);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &MaintenanceDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &MaintenanceDialog::reject);
    auto *layout = new QVBoxLayout(this);
    auto *adapter = new QLabel(tr("适配器：%1").arg(care->book().adapter), this);
    adapter->setObjectName(QStringLiteral("careAdapter"));
    layout->addWidget(adapter);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    const CareBook book = care->book();
    for (const Kind kind : CareCounter::kAll) {
        if (QLineEdit *limit = m_limits[int(kind)]; limit && book.limits[int(kind)])
            limit->setText(QLocale::c().toString(*book.limits[int(kind)], 'g', 10));
    }
    showCounters();
}

void MaintenanceDialog::showCounters()
{
    const CareBook book = m_care->book();
    for (const Kind kind : CareCounter::kAll) {
        QString value = CareCounter::valueText(kind, book.values[int(kind)]);
        if (const std::optional<int> used = book.percent(kind))
            value += tr("（%1 %）").arg(*used);
        m_values[int(kind)]->setText(value);
        const CareBook::Service &service = book.services[int(kind)];
        m_services[int(kind)]->setText(
            service.time.isValid()
                ? tr("%1，%2，%3")
                      .arg(service.time.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                           service.who.isEmpty() ? tr("未指定操作员") : service.who,
                           service.remark)
                : tr("—"));
    }
}

void MaintenanceDialog::serviced(Kind kind)
{
    // The remark is what makes it a service: without one nothing is reset.
    const QString remark =
        m_boxes
            ->inputBox(tr("%1归零。请写明所做的维护（例如更换密封圈）：").arg(CareCounter::name(kind)),
                       tr("已维护"), QString())
            .simplified();
    if (remark.isEmpty())
        return;
    m_care->serviced(kind, m_who, remark);
    showCounters();
}

void MaintenanceDialog::accept()
{
    std::array<QString, CareCounter::kCount> texts;
    for (const Kind kind : CareCounter::kAll)
        texts[int(kind)] = m_limits[int(kind)] ? m_limits[int(kind)]->text() : QString();
    if (const QString problem = m_care->setLimits(texts); !problem.isEmpty()) {
        m_boxes->messageBox(problem, tr("维护"));
        return;
    }
    QDialog::accept();
}
