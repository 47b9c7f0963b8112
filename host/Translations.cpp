#include "host/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace {
std::unique_ptr<QTranslator>& Installed()
{
    static std::unique_ptr<QTranslator> t;
    return t;
}
} // namespace

bool InstallQtChineseTranslations()
{
    if (Installed())
        return true;
    auto t = std::make_unique<QTranslator>();
    if (!t->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    if (!QCoreApplication::installTranslator(t.get()))
        return false;
    Installed() = std::move(t);
    return true;
}

void RemoveQtChineseTranslations()
{
    if (!Installed())
        return;
    QCoreApplication::removeTranslator(Installed().get());
    Installed().reset();
}
