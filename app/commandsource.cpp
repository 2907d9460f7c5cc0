#include "app/commandsource.h"

#include <QAction>
#include <QWidget>

QString CommandSource::of(const QObject *asker)
{
    if (const auto *action = qobject_cast<const QAction *>(asker))
        return action->text();
    if (const auto *widget = qobject_cast<const QWidget *>(asker);
        widget && !widget->accessibleName().isEmpty())
        return widget->accessibleName();
    return asker ? asker->objectName() : QString();
}
