#include "app/programsteptree.h"

#include "program/programtext.h"

namespace {

const QColor kHighlight(255, 236, 150);

void addItems(QTreeWidgetItem *parent, const std::vector<ProgramStep> &steps,
              const QList<int> &place)
{
    for (size_t i = 0; i < steps.size(); ++i) {
        auto *item = new QTreeWidgetItem(parent, {ProgramText::step(steps[i])});
        const QList<int> here = QList<int>(place) << int(i);
        item->setData(0, Qt::UserRole, QVariant::fromValue(here));
        addItems(item, steps[i].steps, here);
    }
}

} // namespace

ProgramStepTree::ProgramStepTree(QWidget *parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("programSteps"));
    setHeaderHidden(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void ProgramStepTree::setProgram(const Program &program, const Place &select)
{
    m_highlighted = nullptr;
    clear();
    addItems(invisibleRootItem(), program.steps, {0});
    auto *end = new QTreeWidgetItem(this, {tr("结束时")});
    end->setData(0, Qt::UserRole, QVariant::fromValue(Place{1}));
    addItems(end, program.end, {1});
    expandAll();
    if (QTreeWidgetItem *item = itemAt(select))
        setCurrentItem(item);
}

QTreeWidgetItem *ProgramStepTree::itemAt(const Place &place) const
{
    if (place.isEmpty())
        return nullptr;
    QTreeWidgetItem *item =
        place[0] == 1 ? topLevelItem(topLevelItemCount() - 1) : invisibleRootItem();
    for (qsizetype i = 1; item && i < place.size(); ++i)
        item = item->child(place[i]);
    return item == invisibleRootItem() ? nullptr : item;
}

ProgramStepTree::Place ProgramStepTree::currentPlace() const
{
    const QTreeWidgetItem *item = currentItem();
    return item ? item->data(0, Qt::UserRole).value<Place>() : Place{};
}

void ProgramStepTree::highlight(const Place &place)
{
    QTreeWidgetItem *item = itemAt(place);
    if (item == m_highlighted)
        return;
    for (QTreeWidgetItem *changed : {m_highlighted, item}) {
        if (!changed)
            continue;
        QFont font = changed->font(0);
        font.setBold(changed == item);
        changed->setFont(0, font);
        changed->setBackground(0, changed == item ? QBrush(kHighlight) : QBrush());
    }
    m_highlighted = item;
    if (item)
        scrollToItem(item);
}
