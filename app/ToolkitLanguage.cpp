#include "app/ToolkitLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace velmora {

bool LoadToolkitTranslations(QCoreApplication& app) {
    // qtbase holds the dialogs, message boxes and edit menus; owned by the application so it
    // lives as long as the texts are looked up.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

}  // namespace velmora
