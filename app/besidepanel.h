#pragma once

class QWidget;

// A window of the panel's own (the history, a program, the audit trail) opens over the panel,
// inside the screen's free area, its frame taken to be the panel's.
namespace BesidePanel {

// Gives window its geometry there; done once, before it is first mapped.
void place(QWidget *window);

} // namespace BesidePanel
