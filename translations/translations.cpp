#include "translations.h"

#include <QCoreApplication>
#include <QTranslator>

#include <memory>

bool Translations::install(const QString &language)
{
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    if (!translator->load(QStringLiteral(":/i18n/cc2530_") + language))
        return false;
    return QCoreApplication::installTranslator(translator.release());
}
