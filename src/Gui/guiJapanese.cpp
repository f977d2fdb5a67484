#include "Gui/guiJapanese.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <fontconfig/fontconfig.h>

bool guiJapanese::installTranslations(QCoreApplication& application)
{
    // Every text of the program is Japanese, whatever the desktop's language.
    QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);
    auto* translator = new QTranslator(&application);
    if (!translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

QString guiJapanese::sansSerifFamily()
{
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=ja"));
    if (pattern == nullptr)
        return {};
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr)
        return {};
    QString family;
    FcChar8* name = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name != nullptr)
        family = QString::fromUtf8(reinterpret_cast<const char*>(name));
    FcPatternDestroy(match);
    return family;
}

QString guiJapanese::familyFor(const QString& named)
{
    if (!named.isEmpty() && QFontDatabase::hasFamily(named))
        return named;
    QString japanese = sansSerifFamily();
    return !japanese.isEmpty() && QFontDatabase::hasFamily(japanese) ? japanese : QString();
}
