#pragma once

#include "program/programstep.h"

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QSpinBox;

// One step of a pump program to add or change: its kind, and the fields of that kind only. It
// checks nothing beyond the fields' ranges; whether the step fits its program is the program
// file's to say. A flow or a limit left at "不变" is not part of the step.
class ProgramStepDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ProgramStepDialog(QWidget *parent = nullptr);

    // A repeat comes back without its steps: they are the editor's to keep.
    ProgramStep step() const;
    void setStep(const ProgramStep &step);
    // A repeat being changed keeps its kind: only its count is asked.
    void setKindLocked(bool locked);

private:
    void showFieldsOfKind();

    QFormLayout *m_form;
    QComboBox *m_kind;
    QSpinBox *m_flow;
    QDoubleSpinBox *m_limit;
    QSpinBox *m_seconds;
    QSpinBox *m_times;
    QComboBox *m_above;
    QDoubleSpinBox *m_value;
    QSpinBox *m_readings;
    QComboBox *m_onTimeout;
};
