#pragma once

#include "audit/audittrailtable.h"

#include <QFutureWatcher>
#include <QWidget>

class ModalBoxes;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

// The audit trail of one day beside the panel: the records of every panel instance, narrowed
// by kind and text, the state of each instance's chain with its first break marked in red,
// and what is shown exported as CSV. The day is read and verified on a pool thread; the window
// shows what comes back and stays usable meanwhile. It opens over the panel inside the
// screen's free area, and its boxes belong to it.
class AuditWindow : public QWidget
{
    Q_OBJECT

public:
    // folder: the one holding the instances' folders (AuditLog::defaultFolder()).
    AuditWindow(const QString &folder, ModalBoxes *boxes, QWidget *parent = nullptr);
    ~AuditWindow() override;

    // Looks for the days again and reads the day chosen, or the newest when it is gone.
    void refresh();
    // What is shown, to a CSV file chosen in a box. False when the box was cancelled or the
    // file could not be written (a box says why).
    bool exportCsv();
    // A day being read; the table shows the day before until it is done.
    bool reading() const { return m_reading; }
    const AuditTrailTable *table() const { return m_table; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void readDay();
    void showDay();
    void applyFilter();
    void showChain();

    QString m_folder;
    ModalBoxes *m_boxes;
    AuditTrailTable *m_table;
    QFutureWatcher<AuditTrailTable::Day> m_watcher;
    QComboBox *m_day;
    QComboBox *m_kind;
    QLineEdit *m_filter;
    QTableView *m_view;
    QLabel *m_chain;
    bool m_reading = false;
    bool m_placed = false;
};
