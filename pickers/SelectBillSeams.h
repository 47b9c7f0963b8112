#pragma once
// Where the selection and check dialogs join the rest: the goods bill's source selections,
// line import and price dialog through the package's seams, and the bill window's stock and
// price warnings through its check-dialog slots. The package fills them when it loads.
void InstallSelectionDialogs();
// Empties the seams again and puts the bill window's plain warnings back.
void UninstallSelectionDialogs();
