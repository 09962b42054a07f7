#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

namespace Fuzz {

// The parsers print a debug line per candidate; at a million inputs a minute that output
// would be all the fuzzer does.
inline void silenceQtMessages()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtFatalMsg) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(text));
            std::abort();
        }
    });
}

// A broken invariant is a crash the fuzzer keeps the input of.
#define FUZZ_REQUIRE(condition)                                                                    \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// A text as a user could type or paste it: UTF-8 (full-width digits, blanks of every kind)
// or, now and then, raw UTF-16 code units including lone surrogates.
inline QString consumeText(FuzzedDataProvider &data, size_t maxBytes = 600)
{
    const std::string bytes = data.ConsumeRandomLengthString(maxBytes);
    if (data.ConsumeBool())
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    return QString(reinterpret_cast<const QChar *>(bytes.data()), qsizetype(bytes.size() / 2));
}

inline bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

inline int hexDigitCount(const QString &text)
{
    int count = 0;
    for (const QChar c : text)
        count += isHexDigit(c) ? 1 : 0;
    return count;
}

} // namespace Fuzz
