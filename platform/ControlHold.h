#pragma once
// Holding a control disabled for a reason of the window's own (a bill that may not be edited,
// a refund field of a return that takes no refund). A data-aware control enables itself again
// from its field whenever its record is shown anew; a held control stays disabled through
// those refreshes until every holder has let it go, and then follows its field again.
#include <QString>

class QWidget;

void HoldDisabled(QWidget* control, const QString& holder, bool held);
// Whether any holder keeps the control disabled.
bool HeldDisabled(const QWidget* control);
