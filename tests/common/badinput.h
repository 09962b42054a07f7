#pragma once

#include "commandframe.h"
#include "mythread.h"
#include "windowdriver.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QList>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <algorithm>

// Texts that break parsers, and the means to type them into a field as a user would.
namespace BadInput {

// Typed keys longer than this would only make a test slow; longer texts are pasted.
inline constexpr int TypedLimit = 64;

inline QStringList texts()
{
    return {
        QString(),
        QStringLiteral("1"),
        QStringLiteral("123"),
        QStringLiteral("1 23"),
        QStringLiteral("12345"),
        QStringLiteral("zz"),
        QStringLiteral("G1"),
        QStringLiteral("１２"),
        QStringLiteral("１２３４"),
        QStringLiteral("１２ ３４"),
        QStringLiteral(" "),
        QStringLiteral("   "),
        QStringLiteral("\t"),
        QStringLiteral("\u00A0"),
        QStringLiteral("-"),
        QStringLiteral("--"),
        QStringLiteral("-1"),
        QStringLiteral("+5"),
        QStringLiteral("0x12"),
        QStringLiteral("0X1A2B"),
        QStringLiteral("12 34"),
        QStringLiteral("00 00 03 E8"),
        QStringLiteral("00 00 00 00"),
        QStringLiteral("1e3"),
        QStringLiteral("0.5"),
        QStringLiteral("256"),
        QStringLiteral("-129"),
        QStringLiteral("99999999999"),
        QStringLiteral("FFFFFFFFFFFFFFFFFFFF"),
        QStringLiteral("中文"),
        QString::fromUtf16(u"\U0001F600"),
        QString(QChar(0)),
        QString(300, u'F'),
        QString(511, u'A'),
        QString(10000, u'A'),
        QString(5000, u'7') + QStringLiteral(" -"),
    };
}

// Whole frames one after another, nothing else; true for no bytes.
inline bool wholeFrames(QByteArrayView bytes)
{
    const QList<CommandFrame::Segment> segments = CommandFrame::segments(bytes);
    return std::all_of(segments.begin(), segments.end(), [](const CommandFrame::Segment &s) {
        return s.kind == CommandFrame::Segment::Frame;
    });
}

// A text as a test row names it.
inline QString shown(const QString &text)
{
    return text.size() > 20 ? QStringLiteral("%1 characters").arg(text.size())
                            : QStringLiteral("\"%1\"").arg(text);
}

// Types text as a user would: plain ASCII by keys, everything else (full-width digits,
// Chinese, emoji, control characters) as an input method commits it.
inline void typeText(QWidget *widget, const QString &text)
{
    QString committed;
    const auto commit = [&] {
        if (committed.isEmpty())
            return;
        QInputMethodEvent event;
        event.setCommitString(committed);
        QCoreApplication::sendEvent(widget, &event);
        committed.clear();
    };
    for (const QChar c : text) {
        if (c == u'\t' || (c.unicode() >= 0x20 && c.unicode() < 0x7F)) {
            commit();
            QTest::keyClick(widget, char(c.unicode()));
        } else {
            committed += c;
        }
    }
    commit();
}

// Empties the field and enters text: typed, or pasted when too long to type.
inline void enterText(QLineEdit *field, const QString &text)
{
    field->clear();
    if (text.size() <= TypedLimit)
        typeText(field, text);
    else
        field->setText(text);
}

// The texts, and names of no port, typed into the port box and the open button clicked: each
// click fails with a reason, or does nothing for an empty name, and the next starts afresh.
inline void clickOpenWithEachPortName(const WindowDriver &window, const MyThread &worker)
{
    auto *ports = window.child<QComboBox>(QStringLiteral("serialPortComboBox"));
    // A NUL cannot be typed into a name; Qt's serial port would leave a lock file "LCK.." for
    // it behind.
    QStringList names = texts();
    names.removeAll(QString(QChar(0)));
    names << QStringLiteral("/") << QStringLiteral("/dev/") << QStringLiteral("../../..");
    for (const QString &name : std::as_const(names)) {
        ports->setEditText(name);
        window.clickOpenButton();
        if (!ports->currentText().isEmpty())
            QTRY_VERIFY2(!window.status().isEmpty(), qPrintable(shown(name)));
        QTRY_VERIFY(!worker.isRunning());
        QCOMPARE(window.buttonText(), WindowDriver::Closed);
        QVERIFY(!worker.comOpened());
    }
}

} // namespace BadInput
