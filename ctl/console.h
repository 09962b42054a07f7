#pragma once

#include <QString>

// Results on standard output, messages on standard error, both UTF-8.
namespace Console {

void out(const QString &line);
void err(const QString &line);

} // namespace Console
