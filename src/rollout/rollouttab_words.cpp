// The Rollout tab's words: one table from the core's states, failures and stop reasons to the window's texts.
#include "rollouttab.h"

QString RolloutTab::stateText(Rollout::State state) const
{
    using State = Rollout::State;
    switch (state) {
    case State::Waiting:
        return tr("waiting");
    case State::BackingUp:
        return tr("backing up");
    case State::Querying:
        return tr("querying");
    case State::Uploading:
        return tr("uploading");
    case State::Verifying:
        return tr("verifying");
    case State::Flashing:
        return tr("flashing");
    case State::Rebooting:
        return tr("rebooting");
    case State::Confirming:
        return tr("confirming");
    case State::Confirmed:
        return tr("confirmed");
    case State::Unchanged:
        return tr("unchanged");
    case State::Succeeded:
        return tr("succeeded");
    case State::UpToDate:
        return tr("up to date");
    case State::DoneBefore:
        return tr("done before");
    case State::Answered:
        return tr("answered");
    case State::Saved:
        return tr("saved");
    case State::OtherModel:
        return tr("other model");
    case State::Failed:
        return tr("failed");
    case State::Skipped:
        return tr("skipped");
    }
    return QString();
}

QString RolloutTab::failureWords(Failure failure, const QString& detail) const
{
    switch (failure) {
    case Failure::None:
        return QString();
    case Failure::ConnectTimedOut:
    case Failure::TimedOut:
        return tr("timed out");
    case Failure::NoAnswer:
        return tr("no answer to the version query (check the work type)");
    case Failure::ConnectFailed:
    case Failure::NotConnected:
        return withDetail(tr("connection failed"), detail);
    case Failure::Dropped:
        return withDetail(tr("connection dropped"), detail);
    case Failure::Stalled:
        return tr("stalled: no progress for %1 s").arg(detail);
    case Failure::BadAddress:
        return tr("not a camera address");
    case Failure::NameTooLong:
        return tr("the file name is too long for the record");
    case Failure::RefusedType:
    case Failure::RefusedModel:
    case Failure::Declined:
        return tr("the file name does not match the camera");
    case Failure::FileUnreadable:
        return tr("firmware file unreadable");
    case Failure::DiskFull:
        return tr("camera: not enough disk space (U 1)");
    case Failure::VerifyFailed:
        return tr("camera: file verification failed (U 6)");
    case Failure::UpgradeFailed:
        return tr("camera: upgrade failed (U 8)");
    case Failure::ArmMissing:
        return tr("camera: ARM upgrade file not found (E)");
    case Failure::UnexpectedStatus:
        return withDetail(tr("camera: unexpected status"), detail);
    case Failure::BackupFailed:
        return tr("backup failed");
    case Failure::ArchiveRefused:
    case Failure::ArchiveBroken:
        return tr("the camera sent an unusable archive");
    case Failure::ArchiveMismatch:
        return tr("the archive's MD5 does not match");
    case Failure::CannotWrite:
        return tr("cannot write %1").arg(detail);
    case Failure::RestoreFailed:
        return tr("camera: restore failed");
    case Failure::NotBack:
        return tr("not back after the reboot");
    case Failure::Cancelled:
        return tr("cancelled");
    case Failure::Interrupted:
        return tr("interrupted");
    }
    return QString();
}

QString RolloutTab::withDetail(const QString& words, const QString& detail)
{
    return detail.isEmpty() ? words : words + QStringLiteral(": ") + detail;
}

QString RolloutTab::reasonText(const Rollout::Camera& camera) const
{
    using State = Rollout::State;
    switch (camera.state) {
    case State::DoneBefore:
        return tr("already done");
    case State::UpToDate:
        return tr("version contains \"%1\"").arg(camera.detail);
    case State::Answered:
        return tr("%1 partitions").arg(camera.partitions);
    case State::Saved:
        return tr("saved as %1").arg(camera.archive);
    case State::Skipped:
        return stopText(*m_rollout);
    case State::OtherModel:
        return camera.model.isEmpty() ? tr("its version names no model")
                                      : tr("model %1 was not chosen").arg(camera.model);
    default:
        break;
    }
    if (camera.failure == Failure::Interrupted && camera.failedDuring >= State::Rebooting)
        return tr("interrupted: upgraded, not confirmed");
    const QString words = failureWords(camera.failure, camera.detail);
    if (camera.failure == Failure::BackupFailed || camera.failedDuring != State::BackingUp ||
        m_rollout->options().job == RolloutJob::Backup)
        return words;
    return tr("backup failed") + QStringLiteral(": ") + words;
}

QString RolloutTab::stopText(const Rollout& rollout) const
{
    using StopReason = Rollout::StopReason;
    switch (rollout.stopReason()) {
    case StopReason::None:
        return QString();
    case StopReason::Interrupted:
        return tr("stopped by the operator");
    case StopReason::CanaryFailed:
        return tr("stopped: the canary failed");
    case StopReason::FailureThreshold:
        return tr("stopped: %n failure(s) reached the threshold", "", rollout.failuresAtStop());
    }
    return QString();
}
