#pragma once

#include <QString>

// What the system or Qt says about a failed file operation (QFileDevice::errorString()), in
// the language of the installed catalogue where it holds the text, otherwise as it is.
QString systemText(const QString &text);
