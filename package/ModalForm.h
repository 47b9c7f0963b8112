#pragma once
// Modal display of forms through the host's dialog seam (ExecModal), so that a modal bill
// form never blocks a test that scripts it.
class QWidget;

// A QDialog runs as it is. Any other form is framed in a dialog that carries the form's
// object name and title (so a scripted handler can pick it by name and find the form in it),
// has a fixed border and no minimise or maximise button, and ends when the form closes.
// Afterwards `destroy` deletes the form (when it has not deleted itself); otherwise the form
// goes back, hidden, to the parent it had. Returns the dialog's result.
int ShowFormModal(QWidget* form, bool destroy);
