#include "app/alarmsettingsdialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// The fields take any number their type can hold, so that a wrong one is refused with a
// message rather than silently clamped.
QDoubleSpinBox *limitField(const char *name, double value)
{
    auto *field = new QDoubleSpinBox;
    field->setObjectName(QLatin1String(name));
    field->setDecimals(AlarmSettings::kLimitDecimals);
    field->setRange(-99.99, 99.99);
    field->setSingleStep(0.05);
    field->setSuffix(QStringLiteral(" MPa"));
    field->setValue(value);
    return field;
}

QSpinBox *secondsField(const char *name, int value)
{
    auto *field = new QSpinBox;
    field->setObjectName(QLatin1String(name));
    field->setRange(0, 999999);
    field->setSuffix(QStringLiteral(" 秒"));
    field->setValue(value);
    return field;
}

} // namespace

AlarmSettingsDialog::AlarmSettingsDialog(const AlarmSettings &settings, QWidget *parent)
    : QDialog(parent),
      m_highLimit(limitField("highLimit", settings.high.on ? settings.high.limit : 1.5)),
      m_lowLimit(limitField("lowLimit", settings.low.on ? settings.low.limit : 0.1)),
      m_silenceSeconds(
          secondsField("silenceSeconds", settings.silence.on ? settings.silence.seconds : 30)),
      m_linkSeconds(secondsField("linkSeconds", settings.link.on ? settings.link.seconds : 60)),
      m_problem(new QLabel)
{
    setObjectName(QStringLiteral("alarmSettingsDialog"));
    setWindowTitle(tr("报警设定"));
    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("停泵")), 0, 2);
    m_high = addRow(tr("高压报警"), m_highLimit, "high", settings.high.on, settings.high.stop);
    m_low =
        addRow(tr("低压报警（泵运行时）"), m_lowLimit, "low", settings.low.on, settings.low.stop);
    m_silence = addRow(tr("无读数报警"), m_silenceSeconds, "silence", settings.silence.on,
                       settings.silence.stop);
    m_link =
        addRow(tr("线路中断报警"), m_linkSeconds, "link", settings.link.on, settings.link.stop);
    for (const Row &row : {m_high, m_low, m_silence, m_link}) {
        const int line = grid->rowCount();
        grid->addWidget(row.on, line, 0);
        grid->addWidget(row.on->property("amount").value<QWidget *>(), line, 1);
        grid->addWidget(row.stop, line, 2);
    }
    m_problem->setObjectName(QStringLiteral("alarmProblem"));
    m_problem->setStyleSheet(QStringLiteral("color: #c00000"));
    m_problem->setWordWrap(true);
    m_problem->hide();
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
}

AlarmSettingsDialog::Row AlarmSettingsDialog::addRow(const QString &caption, QWidget *amount,
                                                     const char *name, bool on, bool stop)
{
    Row row{new QCheckBox(caption, this), new QCheckBox(this)};
    row.on->setObjectName(QLatin1String(name) + QStringLiteral("On"));
    row.on->setChecked(on);
    row.on->setProperty("amount", QVariant::fromValue(amount));
    row.stop->setObjectName(QLatin1String(name) + QStringLiteral("Stop"));
    row.stop->setChecked(stop);
    row.stop->setAccessibleName(caption + tr("：停泵"));
    amount->setAccessibleName(caption);
    return row;
}

AlarmSettings AlarmSettingsDialog::settings() const
{
    AlarmSettings settings;
    settings.high = {m_high.on->isChecked(), m_highLimit->value(), m_high.stop->isChecked()};
    settings.low = {m_low.on->isChecked(), m_lowLimit->value(), m_low.stop->isChecked()};
    settings.silence = {m_silence.on->isChecked(), m_silenceSeconds->value(),
                        m_silence.stop->isChecked()};
    settings.link = {m_link.on->isChecked(), m_linkSeconds->value(), m_link.stop->isChecked()};
    return settings;
}

void AlarmSettingsDialog::accept()
{
    if (const QString problem = settings().problem(); !problem.isEmpty()) {
        m_problem->setText(problem);
        m_problem->show();
        return;
    }
    QDialog::accept();
}
