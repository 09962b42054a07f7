#pragma once

#include "ledger.h"
#include "profile.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class DirectoryWatch;
class LedgerFile;
class ModuleRun;

// Provisions modules on several ports at once. Each module is read, given the profile plus
// its own values (its ledger row's, or the lowest free ones of the ranges), written where it
// differs, read back and recorded in the ledger. Each port has a thread of its own that runs
// the apply engine of a restore; the ledger is decided and written only in the station's
// thread, one module at a time, so that no value goes to two modules.
class Station : public QObject
{
    Q_OBJECT

public:
    struct Settings
    {
        Profile profile;
        QList<Ledger::Range> ranges;
        bool save = false;
        int gapMs = 100;
        // How long a port that refuses to open is tried again (udev may still be setting a
        // fresh adapter's permissions).
        int openRetryMs = 0;
    };

    enum class Result { Verified, Failed, Refused, Lost };
    // "verified", "failed", "refused", "lost": the first word of a ledger status.
    static QString resultWord(Result result);

    // A module started (once its own values are recorded) or ended.
    struct Event
    {
        QString port;
        QString mac; // empty when the module never answered
        Profile values; // its own
        bool ended = false;
        Result result = Result::Lost;
        QString status; // as the ledger records it
        int written = 0;
        int unchanged = 0;
        QStringList failed; // "KEY: wanted X, module shows Y"
        // Node type, channel or PAN ID went out without the clear-network frame after it.
        bool networkUncleared = false;
    };

    struct Counts
    {
        int verified = 0;
        int failed = 0;
        int refused = 0;
        int lost = 0;
    };

    Station(Settings settings, LedgerFile &ledger, QObject *parent = nullptr);
    // Stops every module between two exchanges and waits for it.
    ~Station() override;

    void setReport(std::function<void(const Event &)> report);
    // For messages to standard error.
    void setNote(std::function<void(const QString &)> note);

    void provision(const QString &port);
    // From now on every entry that appears in directory is provisioned (in /dev only the
    // serial ports the system lists); an entry that disappears ends its module as lost.
    void watch(const QString &directory);
    void stopWatching();

    int inProgress() const { return int(m_runs.size()); }
    Counts counts() const { return m_counts; }
    // A ledger write failed.
    bool ledgerTrouble() const { return m_ledgerTrouble; }

Q_SIGNALS:
    // The last module in progress has ended.
    void idle();

private:
    friend class ModuleRun;
    struct Decision
    {
        Profile own;
        Profile wanted;
        QString refusal;
        bool record = true; // false: the row is another run's
    };
    Decision identified(const QString &port, const QString &mac);
    void ended(ModuleRun *run);
    void entriesChanged();
    // Empty, or why the ledger could not be written.
    QString record(qsizetype row, const QString &status, const QString &port);
    void note(const QString &text) const;

    Settings m_settings;
    LedgerFile &m_ledger;
    std::function<void(const Event &)> m_report;
    std::function<void(const QString &)> m_note;
    QHash<QString, ModuleRun *> m_runs; // by port
    QHash<QString, QString> m_macs; // in progress: MAC → port
    Counts m_counts;
    bool m_ledgerTrouble = false;
    bool m_closing = false;

    std::unique_ptr<DirectoryWatch> m_watch;
    QTimer m_poll; // where no directory watch is available
    bool m_systemPorts = false; // the watched directory is /dev
    QSet<QString> m_known; // entries there now
    QSet<QString> m_unlisted; // appeared in /dev, not (yet) listed as serial ports
    QSet<QString> m_again; // ports that came back while their run was still ending
};
