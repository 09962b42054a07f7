#pragma once

#include <QJsonObject>
#include <QString>

// Results on standard output, messages on standard error, both UTF-8.
namespace Console {

void out(const QString &line);
// A JSON object as one line of text, and that line on standard output.
QString jsonLine(const QJsonObject &object);
void json(const QJsonObject &object);
void err(const QString &line);

} // namespace Console
