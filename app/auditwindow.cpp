#include "app/auditwindow.h"

#include "app/besidepanel.h"
#include "files/atomicfile.h"
#include "platform/modalboxes.h"

#include <QBrush>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLineEdit>
#include <QPromise>
#include <QPushButton>
#include <QTableView>
#include <QThreadPool>
#include <QVBoxLayout>

#include <memory>

namespace {

const QColor kBrokenBackground(0xff, 0xcc, 0xcc);
const QColor kBrokenText(0xb0, 0x00, 0x00);

// The table's rows as the model has them, the row of a break in red.
class BrokenRowColours : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        if ((role == Qt::BackgroundRole || role == Qt::ForegroundRole) &&
            QIdentityProxyModel::data(index, AuditTrailTable::kBrokenRole).toBool())
            return QBrush(role == Qt::BackgroundRole ? kBrokenBackground : kBrokenText);
        return QIdentityProxyModel::data(index, role);
    }
};

QString breakText(AuditVerifier::Break how)
{
    using Break = AuditVerifier::Break;
    switch (how) {
    case Break::Changed:
        return AuditWindow::tr("已被改动");
    case Break::Removed:
        return AuditWindow::tr("有记录被删除");
    case Break::InsertedOrReordered:
        return AuditWindow::tr("有记录被插入或调换");
    case Break::Renamed:
        return AuditWindow::tr("文件已被改名");
    case Break::HeadNotFound:
    case Break::HeadMismatch:
    case Break::None:
        break;
    }
    return AuditVerifier::label(how);
}

// One instance's chain in a line; *bad when it is broken or could not be read.
QString chainText(const AuditTrailTable::Chain &chain, bool *bad)
{
    const AuditVerifier::Result &result = chain.result;
    QString text;
    switch (result.exitCode) {
    case AuditVerifier::kOk:
        text = result.records > 0 ? AuditWindow::tr("已验证到第 %1 条").arg(result.head.seq)
                                  : AuditWindow::tr("没有记录");
        break;
    case AuditVerifier::kBroken:
        *bad = true;
        text = AuditWindow::tr("第 %1 条（文件 %2 第 %3 行）：%4")
                   .arg(result.seq)
                   .arg(QFileInfo(result.file).fileName())
                   .arg(result.line)
                   .arg(breakText(result.how));
        break;
    default:
        *bad = true;
        text = AuditWindow::tr("无法验证：%1").arg(result.error);
    }
    if (!result.warnings.isEmpty())
        text += AuditWindow::tr("（%n 处警告）", nullptr, int(result.warnings.size()));
    return chain.instance + AuditWindow::tr("：") + text;
}

} // namespace

AuditWindow::AuditWindow(const QString &folder, ModalBoxes *boxes, QWidget *parent)
    : QWidget(parent, Qt::Window), m_folder(folder), m_boxes(boxes),
      m_table(new AuditTrailTable(this)), m_day(new QComboBox(this)), m_kind(new QComboBox(this)),
      m_filter(new QLineEdit(this)), m_view(new QTableView(this)), m_chain(new QLabel(this))
{
    setObjectName(QStringLiteral("auditWindow"));
    setWindowTitle(tr("审计记录"));
    resize(1000, 560);

    m_day->setObjectName(QStringLiteral("auditDay"));
    m_kind->setObjectName(QStringLiteral("auditKind"));
    m_kind->addItem(tr("全部"));
    m_kind->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_filter->setObjectName(QStringLiteral("auditFilter"));
    m_filter->setPlaceholderText(tr("查找"));
    m_filter->setClearButtonEnabled(true);
    auto *exportButton = new QPushButton(tr("导出 CSV…"), this);
    exportButton->setObjectName(QStringLiteral("auditExport"));

    auto *colours = new BrokenRowColours(this);
    colours->setSourceModel(m_table);
    m_view->setObjectName(QStringLiteral("auditTable"));
    m_view->setModel(colours);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setWordWrap(false);
    // Rows of one height, so that tens of thousands of them scroll without being measured.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setColumnWidth(AuditTrailTable::Seq, 70);
    m_view->setColumnWidth(AuditTrailTable::Time, 230);

    m_chain->setObjectName(QStringLiteral("auditChain"));
    m_chain->setWordWrap(true);
    m_chain->setTextInteractionFlags(Qt::TextSelectableByMouse);

    connect(m_day, &QComboBox::currentIndexChanged, this, &AuditWindow::readDay);
    connect(m_kind, &QComboBox::currentIndexChanged, this, &AuditWindow::applyFilter);
    connect(m_filter, &QLineEdit::textChanged, this, &AuditWindow::applyFilter);
    connect(exportButton, &QPushButton::clicked, this, &AuditWindow::exportCsv);
    connect(&m_watcher, &QFutureWatcher<AuditTrailTable::Day>::finished, this,
            &AuditWindow::showDay);

    auto *tools = new QHBoxLayout;
    tools->addWidget(new QLabel(tr("日期"), this));
    tools->addWidget(m_day);
    tools->addWidget(new QLabel(tr("内容"), this));
    tools->addWidget(m_kind);
    tools->addWidget(m_filter, 1);
    tools->addWidget(exportButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_chain);

    refresh();
}

// A day still being read finishes on its pool thread and is dropped with the watcher.
AuditWindow::~AuditWindow() = default;

void AuditWindow::showEvent(QShowEvent *event)
{
    // Placed once, before it is first mapped; after that where the operator put it.
    if (!m_placed) {
        m_placed = true;
        BesidePanel::place(this);
    }
    QWidget::showEvent(event);
}

void AuditWindow::refresh()
{
    const QDate chosen = m_day->currentData().toDate();
    {
        const QSignalBlocker quiet(m_day);
        m_day->clear();
        for (const QDate &date : AuditTrailTable::days(m_folder))
            m_day->addItem(date.toString(QStringLiteral("yyyy-MM-dd")), date);
        m_day->setCurrentIndex(std::max(0, m_day->findData(chosen)));
    }
    readDay();
}

void AuditWindow::readDay()
{
    const QDate date = m_day->currentData().toDate();
    if (!date.isValid()) {
        m_watcher.setFuture(QFuture<AuditTrailTable::Day>());
        m_reading = false;
        m_table->setDay({});
        m_chain->setStyleSheet(QString());
        m_chain->setText(tr("%1 中没有审计记录").arg(QDir::toNativeSeparators(m_folder)));
        return;
    }
    // A day of 50,000 records (22 MB) takes about 0.2 s to read and verify, too long to hold
    // the panel's events; filtering and showing them here takes a few tens of milliseconds.
    auto promise = std::make_shared<QPromise<AuditTrailTable::Day>>();
    m_watcher.setFuture(promise->future());
    m_reading = true;
    promise->start();
    QThreadPool::globalInstance()->start([promise, folder = m_folder, date] {
        promise->addResult(AuditTrailTable::read(folder, date));
        promise->finish();
    });
    m_chain->setStyleSheet(QString());
    m_chain->setText(tr("正在读取并验证 %1…").arg(m_day->currentText()));
}

void AuditWindow::showDay()
{
    if (m_watcher.future().resultCount() == 0)
        return;
    m_reading = false;
    m_table->setDay(m_watcher.future().result());
    const QString kind = m_kind->currentIndex() > 0 ? m_kind->currentText() : QString();
    {
        const QSignalBlocker quiet(m_kind);
        m_kind->clear();
        m_kind->addItem(tr("全部"));
        m_kind->addItems(m_table->kinds());
        m_kind->setCurrentIndex(kind.isEmpty() ? 0 : std::max(0, m_kind->findText(kind)));
    }
    applyFilter();
    showChain();
}

void AuditWindow::applyFilter()
{
    m_table->setFilter(m_kind->currentIndex() > 0 ? m_kind->currentText() : QString(),
                       m_filter->text());
    if (const int row = m_table->brokenRow(); row >= 0)
        m_view->scrollTo(m_view->model()->index(row, 0));
}

void AuditWindow::showChain()
{
    bool bad = false;
    QStringList lines;
    QStringList details;
    for (const AuditTrailTable::Chain &chain : m_table->day().chains) {
        lines.append(chainText(chain, &bad));
        details += chain.result.warnings;
        details += chain.result.notes;
    }
    // The day's files may have gone since the days were looked for.
    m_chain->setText(lines.isEmpty() ? tr("这一天没有审计记录") : lines.join(QLatin1Char('\n')));
    m_chain->setToolTip(details.join(QLatin1Char('\n')));
    m_chain->setStyleSheet(bad ? QStringLiteral("color: #b00000;") : QString());
}

bool AuditWindow::exportCsv()
{
    const QString title = tr("导出审计记录");
    const QString name = QStringLiteral("audit-%1.csv")
                             .arg(m_table->day().date.toString(QStringLiteral("yyyy-MM-dd")));
    const QString path = m_boxes->saveFileBox(title, name, tr("CSV 文件 (*.csv)"), this);
    if (path.isEmpty())
        return false;
    // 50,000 rows are 6.5 MB, made in about 60 ms: written here, beside the old file, and put
    // in its place only once whole.
    const QByteArray bytes = m_table->csv();
    if (const AtomicFile::Result written = AtomicFile::write(path, bytes); !written) {
        m_boxes->messageBox(
            tr("未能导出到 %1：%2").arg(QDir::toNativeSeparators(path), written.reason), title);
        return false;
    }
    return true;
}
