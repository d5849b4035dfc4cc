#ifndef VERDICT_H
#define VERDICT_H

#include <QObject>
#include <QString>

// How far a conversation with a camera got and how it ended, as values. The core never words them: each face
// has one table from these to its own texts, and a switch without a default there makes a new kind show up
// in every table at compile time.
//
// In a namespace only so that the meta-object system knows their names (debug output, test failures);
// everyone uses them by the plain names below.
namespace Camera
{
Q_NAMESPACE

// Why a conversation with a camera failed.
enum class Failure {
    None,
    // The connection.
    ConnectTimedOut, // no connection within the limit
    ConnectFailed,   // refused or unreachable
    Dropped,         // broke while the camera was talking
    TimedOut,        // the camera fell silent
    NoAnswer,        // no version report within the question's limit: often the other record layout
    NotConnected,    // a request without a connection
    // Refused by the tool before the first byte of firmware.
    BadAddress,     // not a camera address
    NameTooLong,    // the file name does not fit the record's name field
    RefusedType,    // the file name does not suit the upgrade type
    FileUnreadable, // the file cannot be read, or ended early while streaming
    RefusedModel,   // the file name does not suit this camera's own version report
    Declined,       // the face was asked about that mismatch and said no
    // The camera's own verdicts.
    DiskFull,         // 'U' 1, 'R' 2
    VerifyFailed,     // 'U' 6
    UpgradeFailed,    // 'U' 8
    ArmMissing,       // 'E'
    UnexpectedStatus, // a final upgrade status during another operation
    BackupFailed,     // 'B' 4
    ArchiveRefused,   // an archive name or size the tool will not write
    ArchiveBroken,    // a chunk that does not fit, or archive records without a header
    ArchiveMismatch,  // the received archive's MD5 differs from the announced one
    CannotWrite,      // a file of the tool's could not be written
    RestoreFailed,    // 'R' 5
    // Ends decided above one conversation.
    NotBack,   // not back after the reboot
    Cancelled, // ended by the tool
};
Q_ENUM_NS(Failure)

enum class Outcome {
    Done,     // the camera reported the end: upgraded, answered, archive saved, restored
    Flashing, // verified, then the camera closed the connection to flash: the upgrade goes on without us
    Failed,
};
Q_ENUM_NS(Outcome)

// The steps of one camera's upgrade, in order; a run may skip some.
enum class UpgradeStep {
    Checking,         // the name rules and the address, before anything is opened
    Hashing,          // the file's MD5, before anything is connected
    BackupConnecting, // the automatic backup's connection
    BackingUp,        // its request sent, the archive arriving
    Connecting,
    Querying,   // the version question asked; the name checked against its answer
    Requesting, // the upgrade request sent
    Uploading,  // the camera asked for the file
    Verifying,  // the camera has the whole file
    Flashing,   // the camera verified the file and writes it
};
Q_ENUM_NS(UpgradeStep)

// The steps of a restore the camera reports.
enum class RestoreStep {
    Uploading, // the camera asked for the archive
    Restoring, // the camera has it and restores it
};
Q_ENUM_NS(RestoreStep)
} // namespace Camera

using Camera::Failure;
using Camera::Outcome;
using Camera::RestoreStep;
using Camera::UpgradeStep;

struct Verdict {
    Outcome outcome = Outcome::Done;
    Failure failure = Failure::None;
    // The connection's or the camera's own words, the file concerned, or a status: whatever the kind alone
    // does not say. Empty when there is nothing to add.
    QString detail;

    bool ok() const { return outcome != Outcome::Failed; }
    static Verdict failed(Failure failure, const QString& detail = QString())
    {
        return Verdict{Outcome::Failed, failure, detail};
    }
};
Q_DECLARE_METATYPE(Verdict)

#endif // VERDICT_H
