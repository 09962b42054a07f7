#pragma once

#include <QJsonObject>
#include <QString>

// Results on standard output, messages on standard error, both UTF-8.
namespace Console {

void out(const QString &line);
// One JSON object on one line of standard output.
void json(const QJsonObject &object);
void err(const QString &line);

} // namespace Console
