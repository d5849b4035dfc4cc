#include "faults.h"

namespace
{

bool parseBool(const QString& value, bool hasValue, bool* ok)
{
    *ok = true;
    if (!hasValue || value == "1" || value == "true" || value == "on")
        return true;
    if (value == "0" || value == "false" || value == "off")
        return false;
    *ok = false;
    return false;
}

} // namespace

QStringList faultNames()
{
    return {"disk-full",
            "verify-fail",
            "upgrade-fail",
            "arm-missing",
            "drop-upload[=N]",
            "drop-after-verify",
            "keep-version",
            "never-back",
            "backup-fail",
            "backup-bad-md5",
            "restore-fail",
            "slow-link=BPS",
            "version-delay=MS",
            "backup-delay=MS",
            "split-records",
            "coalesce-records",
            "other-layout",
            "backup-name=TEXT",
            "unterminated-text",
            "chunk-length=N",
            "header-size=N",
            "reply=truncated|nul|missing-keys|short-mac",
            "reply-mode=multicast|unicast|both",
            "refuse-config",
            "config-not-applied"};
}

QString applyFault(Faults& f, const QString& name, const QString& value, bool hasValue)
{
    bool ok = true;
    bool* flag = nullptr;
    if (name == "disk-full")
        flag = &f.diskFull;
    else if (name == "verify-fail")
        flag = &f.verifyFail;
    else if (name == "upgrade-fail")
        flag = &f.upgradeFail;
    else if (name == "arm-missing")
        flag = &f.armMissing;
    else if (name == "drop-after-verify")
        flag = &f.dropAfterVerify;
    else if (name == "keep-version")
        flag = &f.keepVersion;
    else if (name == "never-back")
        flag = &f.neverBack;
    else if (name == "backup-fail")
        flag = &f.backupFail;
    else if (name == "backup-bad-md5")
        flag = &f.backupBadMd5;
    else if (name == "restore-fail")
        flag = &f.restoreFail;
    else if (name == "split-records")
        flag = &f.splitRecords;
    else if (name == "coalesce-records")
        flag = &f.coalesceRecords;
    else if (name == "other-layout")
        flag = &f.otherLayout;
    else if (name == "unterminated-text")
        flag = &f.unterminatedText;
    else if (name == "refuse-config")
        flag = &f.refuseConfig;
    else if (name == "config-not-applied")
        flag = &f.configNotApplied;
    if (flag) {
        *flag = parseBool(value, hasValue, &ok);
        return ok ? QString() : QString("fault %1: expected a boolean, got \"%2\"").arg(name, value);
    }

    if (name == "drop-upload") {
        f.dropUploadAt = hasValue ? value.toLongLong(&ok) : -2;
        if (!ok || (hasValue && f.dropUploadAt < 0))
            return QString("fault drop-upload: expected a byte count, got \"%1\"").arg(value);
    } else if (name == "slow-link") {
        f.slowLink = value.toLongLong(&ok);
        if (!ok || f.slowLink < 0)
            return QString("fault slow-link: expected bytes per second, got \"%1\"").arg(value);
    } else if (name == "version-delay" || name == "backup-delay") {
        int& delay = name == "version-delay" ? f.versionDelayMs : f.backupDelayMs;
        delay = value.toInt(&ok);
        if (!ok || delay < 0)
            return QString("fault %1: expected milliseconds, got \"%2\"").arg(name, value);
    } else if (name == "backup-name") {
        f.hostileBackupName = true;
        f.backupName = value;
    } else if (name == "chunk-length") {
        f.hostileChunkLength = true;
        f.chunkLength = value.toInt(&ok);
    } else if (name == "header-size") {
        f.hostileHeaderSize = true;
        f.headerSize = value.toInt(&ok);
    } else if (name == "reply") {
        static const QStringList kinds = {"", "truncated", "nul", "missing-keys", "short-mac"};
        if (!kinds.contains(value))
            return QString("fault reply: unknown kind \"%1\"").arg(value);
        f.replyFault = value;
    } else if (name == "reply-mode") {
        if (value == "multicast")
            f.replyMode = ReplyMode::Multicast;
        else if (value == "unicast")
            f.replyMode = ReplyMode::Unicast;
        else if (value == "both")
            f.replyMode = ReplyMode::Both;
        else
            return QString("reply-mode: unknown mode \"%1\"").arg(value);
    } else {
        return QString("unknown fault \"%1\"").arg(name);
    }
    return ok ? QString() : QString("fault %1: expected a number, got \"%2\"").arg(name, value);
}
