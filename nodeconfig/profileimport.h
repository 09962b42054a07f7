#pragma once

#include "deviceinforead.h"
#include "moduleprofile.h"
#include "profile.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class MyThread;
class ReplyEndRule;

// One import of a profile into the attached module through the window's worker: reads the
// module, offers what differs for review, writes the accepted differences one exchange after
// another, each transmission exactly as the setter of that parameter hands it over (the
// clear-network frame with node type, channel and PAN ID), and reads the module back. It never
// waits: each step starts when the worker reports that the exchange before it is over. All it
// submits belongs to the connection it was planned for: nothing of it reaches another one,
// and every reply of its exchanges ends by its own rule.
class ProfileImport : public QObject
{
    Q_OBJECT

public:
    enum class Stage { Reading, Reviewing, Writing, Verifying, Over };
    Q_ENUM(Stage)

    ProfileImport(MyThread &worker, quint32 connection, Profile wanted,
                  std::shared_ptr<const ReplyEndRule> replyEnd, QObject *parent = nullptr);

    // Submits the read the review starts from.
    void start();
    // The review accepted the differences: submits the first write.
    void write();
    // Ends the import where it is (the port closed); nothing more is submitted.
    void stop();

    Stage stage() const { return m_stage; }
    const QList<ModuleProfile::Difference> &differences() const { return m_differences; }
    // Writes whose exchange is over, and all of them.
    int written() const { return m_written; }
    int total() const { return int(m_transmissions.size()); }

Q_SIGNALS:
    // The first read is in; differences() holds what differs (possibly nothing).
    void reviewReady();
    // A write's exchange is over; key names the next parameter, empty after the last.
    void progress(const QString &nextKey);
    // The read-back is in: the keys of the profile the module still does not hold.
    void verified(const QStringList &notTaken);
    // No reply to a read (at stage Reading or Verifying).
    void unanswered(ProfileImport::Stage stage);

private:
    void onRead(const QByteArray &reply);
    void onExchangeFinished(const QByteArray &sent);
    void submitNext();

    MyThread &m_worker;
    const quint32 m_connection;
    const Profile m_wanted;
    const std::shared_ptr<const ReplyEndRule> m_replyEnd;
    DeviceInfoRead m_read;
    Stage m_stage = Stage::Reading;
    QList<ModuleProfile::Difference> m_differences;
    QList<ModuleProfile::Transmission> m_transmissions;
    int m_written = 0;
};
