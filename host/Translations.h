#pragma once
// Qt's own texts (the standard buttons Yes/No/Cancel, file and print dialogs) in Chinese,
// like the rest of the application.

// Installs Qt's Chinese translation (qtbase_zh_CN from Debian's qt6-translations-l10n) in
// the running application. False when the translation is not installed; Qt then speaks
// English. Installing twice does nothing more.
bool InstallQtChineseTranslations();
// Removes what InstallQtChineseTranslations installed.
void RemoveQtChineseTranslations();
