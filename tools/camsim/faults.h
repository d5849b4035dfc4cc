#ifndef CAMSIM_FAULTS_H
#define CAMSIM_FAULTS_H

#include <QString>
#include <QStringList>

// How a camera answers discovery commands.
enum class ReplyMode { Multicast, Unicast, Both };

// Deliberate misbehaviour of one camera. Each switch has the same name on the command line
// (--fault NAME[=VALUE]) and in the JSON camera file ("faults": {"NAME": VALUE}).
struct Faults {
    bool diskFull = false;        // 'U' 1 and 'R' 2
    bool verifyFail = false;      // 'U' 6 even when the MD5 matches
    bool upgradeFail = false;     // 'U' 8 after 'U' 5
    bool armMissing = false;      // 'E' after 'U' 3
    qint64 dropUploadAt = -1;     // abort the connection after this many firmware bytes (-2: half the file)
    bool dropAfterVerify = false; // abort the connection right after 'U' 5
    bool keepVersion = false;     // an upgrade does not change the version text
    bool neverBack = false;       // the reboot after an upgrade never ends
    bool backupFail = false;      // 'B' 4 instead of the archive
    bool backupBadMd5 = false;    // header announces a wrong MD5 text
    bool restoreFail = false;     // 'R' 5 after receiving the archive
    qint64 slowLink = 0;          // bytes per second in both directions, 0 = unlimited
    int versionDelayMs = 0;       // before the 'Q' answer
    int backupDelayMs = 0;        // before the answer to 'B'
    bool splitRecords = false;    // every record leaves in two TCP segments
    bool coalesceRecords = false; // consecutive records leave in one write
    bool otherLayout = false;     // answers in the layout it does not read
    bool hostileBackupName = false;
    QString backupName;            // used when hostileBackupName is set
    bool unterminatedText = false; // version report and backup header text fields without NUL
    bool hostileChunkLength = false;
    qint32 chunkLength = 0; // length field of every 'B' 2 record when hostileChunkLength is set
    bool hostileHeaderSize = false;
    qint32 headerSize = 0; // length field of the 'B' 1 header when hostileHeaderSize is set
    QString replyFault;    // "", "truncated", "nul", "missing-keys", "short-mac"
    ReplyMode replyMode = ReplyMode::Multicast;
    bool refuseConfig = false;     // "FAILED * " to every CONFIGNET
    bool configNotApplied = false; // "SUCCEED *" to a CONFIGNET, and the settings stay as they were
};

// Sets one switch; returns an error text, empty on success.
QString applyFault(Faults& faults, const QString& name, const QString& value, bool hasValue);

// Every switch name, for the usage text.
QStringList faultNames();

#endif // CAMSIM_FAULTS_H
