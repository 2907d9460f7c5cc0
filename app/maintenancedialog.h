#pragma once

#include "care/carecounter.h"

#include <QDialog>

#include <array>

class ModalBoxes;
class PumpCare;
class QLabel;
class QLineEdit;

// 维护…: each counter of the adapter in use with its limit and its last service. 确定 sets the
// limits typed (a field refused is named in a box, and the dialog stays); 已维护 beside a
// counter asks for a remark and resets that counter, for the service it stands for.
class MaintenanceDialog : public QDialog
{
    Q_OBJECT

public:
    // who: the operator declared at the panel, kept with a service.
    MaintenanceDialog(PumpCare *care, ModalBoxes *boxes, const QString &who,
                      QWidget *parent = nullptr);

    void accept() override;

private:
    void showCounters();
    void serviced(CareCounter::Kind kind);

    PumpCare *m_care;
    ModalBoxes *m_boxes;
    QString m_who;
    std::array<QLabel *, CareCounter::kCount> m_values{};
    std::array<QLineEdit *, CareCounter::kCount> m_limits{};
    std::array<QLabel *, CareCounter::kCount> m_services{};
};
