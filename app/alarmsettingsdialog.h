#pragma once

#include "alarms/alarmsettings.h"

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

// The operator's alarms: for each, whether it is set, its limit or time, and whether it also
// stops the pump. Settings that cannot be used are refused with a message naming the field,
// and nothing of them is applied.
class AlarmSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AlarmSettingsDialog(const AlarmSettings &settings, QWidget *parent = nullptr);

    AlarmSettings settings() const;
    void accept() override;

private:
    struct Row
    {
        QCheckBox *on;
        QCheckBox *stop;
    };

    Row addRow(const QString &caption, QWidget *amount, const char *name, bool on, bool stop);

    QDoubleSpinBox *m_highLimit;
    QDoubleSpinBox *m_lowLimit;
    QSpinBox *m_silenceSeconds;
    QSpinBox *m_linkSeconds;
    Row m_high{}, m_low{}, m_silence{}, m_link{};
    QLabel *m_problem;
};
