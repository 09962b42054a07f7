#pragma once

#include <QString>

// The catalogues built into a program: the user's texts of our libraries, written in English,
// in another language.
namespace Translations {

// Installs the catalogue of language ("zh_CN") for the application, which must exist; false
// when the program holds none for it.
bool install(const QString &language);

} // namespace Translations
