#include "app/programstepdialog.h"

#include "program/programlimits.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSpinBox>

#include <algorithm>
#include <cmath>
#include <iterator>

using Kind = ProgramStep::Kind;
using namespace ProgramLimits;

namespace {

// The kinds in the order the list offers them.
constexpr Kind kKinds[] = {Kind::Set,  Kind::Ramp,   Kind::Hold,     Kind::Run,
                           Kind::Stop, Kind::Repeat, Kind::WaitUntil};

QSpinBox *spinBox(QWidget *parent, const char *name, int lowest, int highest)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(lowest, highest);
    return box;
}

QDoubleSpinBox *mpaBox(QWidget *parent, const char *name, double lowest)
{
    auto *box = new QDoubleSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setDecimals(1);
    box->setSingleStep(0.1);
    box->setRange(lowest, kHighestLimitTenthsMpa / 10.0);
    box->setSuffix(QStringLiteral(" MPa"));
    return box;
}

} // namespace

ProgramStepDialog::ProgramStepDialog(QWidget *parent)
    : QDialog(parent), m_form(new QFormLayout), m_kind(new QComboBox(this)),
      m_flow(spinBox(this, "stepFlow", -1, kHighestFlowMlPerMin)),
      m_limit(mpaBox(this, "stepLimit", -0.1)),
      m_seconds(spinBox(this, "stepSeconds", 0, kLongestStepSeconds)),
      m_times(spinBox(this, "stepTimes", 1, kMostRepeats)), m_above(new QComboBox(this)),
      m_value(mpaBox(this, "stepValue", 0)),
      m_readings(spinBox(this, "stepReadings", 1, kMostReadings)), m_onTimeout(new QComboBox(this))
{
    setObjectName(QStringLiteral("programStepDialog"));
    setWindowTitle(tr("程序步骤"));
    m_kind->setObjectName(QStringLiteral("stepKind"));
    m_kind->addItems(
        {tr("设定"), tr("斜坡"), tr("保持"), tr("运行"), tr("停止"), tr("重复"), tr("等待压力")});
    // The lowest value of each setpoint box stands for "this step leaves it as it is".
    m_flow->setSpecialValueText(tr("不变"));
    m_flow->setSuffix(QStringLiteral(" ml/min"));
    m_limit->setSpecialValueText(tr("不变"));
    m_seconds->setSuffix(tr(" 秒"));
    m_times->setSuffix(tr(" 次"));
    m_above->setObjectName(QStringLiteral("stepAbove"));
    m_above->addItems({tr("高于"), tr("低于")});
    m_onTimeout->setObjectName(QStringLiteral("stepOnTimeout"));
    m_onTimeout->addItems({tr("后继续"), tr("结束程序")});

    m_form->addRow(tr("步骤"), m_kind);
    m_form->addRow(tr("流量"), m_flow);
    m_form->addRow(tr("限压"), m_limit);
    m_form->addRow(tr("秒数"), m_seconds);
    m_form->addRow(tr("重复"), m_times);
    m_form->addRow(tr("压力"), m_above);
    m_form->addRow(tr("压力值"), m_value);
    m_form->addRow(tr("连续读数"), m_readings);
    m_form->addRow(tr("超时"), m_onTimeout);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_form->addRow(buttons);
    setLayout(m_form);
    connect(m_kind, &QComboBox::currentIndexChanged, this, &ProgramStepDialog::showFieldsOfKind);
    ProgramStep first;
    first.kind = Kind::Set;
    setStep(first);
}

ProgramStep ProgramStepDialog::step() const
{
    ProgramStep step;
    step.kind = kKinds[m_kind->currentIndex()];
    switch (step.kind) {
    case Kind::Set:
    case Kind::Ramp:
        if (m_flow->value() >= 0)
            step.flow = m_flow->value();
        if (m_limit->value() >= 0)
            step.limit = int(std::lround(m_limit->value() * 10));
        if (step.kind == Kind::Ramp)
            step.seconds = m_seconds->value();
        break;
    case Kind::Hold:
        step.seconds = m_seconds->value();
        break;
    case Kind::Repeat:
        step.times = m_times->value();
        break;
    case Kind::WaitUntil:
        step.above = m_above->currentIndex() == 0;
        step.valueTenths = int(std::lround(m_value->value() * 10));
        step.readings = m_readings->value();
        step.seconds = m_seconds->value();
        step.endOnTimeout = m_onTimeout->currentIndex() == 1;
        break;
    case Kind::Run:
    case Kind::Stop:
        break;
    }
    return step;
}

void ProgramStepDialog::setStep(const ProgramStep &step)
{
    m_kind->setCurrentIndex(
        int(std::find(std::begin(kKinds), std::end(kKinds), step.kind) - std::begin(kKinds)));
    m_flow->setValue(step.flow.value_or(-1));
    m_limit->setValue(step.limit ? *step.limit / 10.0 : -0.1);
    m_seconds->setValue(step.seconds);
    m_times->setValue(std::max(step.times, 1));
    m_above->setCurrentIndex(step.above ? 0 : 1);
    m_value->setValue(step.valueTenths / 10.0);
    m_readings->setValue(std::max(step.readings, 1));
    m_onTimeout->setCurrentIndex(step.endOnTimeout ? 1 : 0);
    showFieldsOfKind();
    m_kind->setFocus();
}

void ProgramStepDialog::showFieldsOfKind()
{
    const Kind kind = kKinds[m_kind->currentIndex()];
    const bool setpoints = kind == Kind::Set || kind == Kind::Ramp;
    const bool wait = kind == Kind::WaitUntil;
    m_form->setRowVisible(m_flow, setpoints);
    m_form->setRowVisible(m_limit, setpoints);
    m_form->setRowVisible(m_seconds, kind == Kind::Ramp || kind == Kind::Hold || wait);
    m_form->setRowVisible(m_times, kind == Kind::Repeat);
    m_form->setRowVisible(m_above, wait);
    m_form->setRowVisible(m_value, wait);
    m_form->setRowVisible(m_readings, wait);
    m_form->setRowVisible(m_onTimeout, wait);
}

void ProgramStepDialog::setKindLocked(bool locked)
{
    m_kind->setEnabled(!locked);
}
