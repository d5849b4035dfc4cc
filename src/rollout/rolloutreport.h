#ifndef ROLLOUTREPORT_H
#define ROLLOUTREPORT_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include "rollout.h"

// One CSV field (RFC 4180): quoted, its quotes doubled, when it holds a comma, a quote or a line break.
QString csv_field(const QString& text);
// The rows of a CSV text (RFC 4180: quoted fields may hold commas, quotes and line breaks; CRLF or LF line
// ends; a byte order mark is skipped). Blank lines give no row.
QList<QStringList> parse_csv(const QString& text);
// What a camera's result needs said besides its state, in the report's words (also the command line's for
// fleet jobs): why it failed, or why it was left alone; empty when there is nothing to add.
// A failure during an upgrade's backup says so.
QString report_reason(const Rollout::Camera& camera, RolloutJob job = RolloutJob::Upgrade);
// Why the run stopped, in the report's words ("stopped: the canary failed"); empty when it was not stopped.
QString stop_words(const Rollout& rollout);
// The same as one word for JSON: "interrupted", "canary-failed", "failure-threshold"; empty for none.
QString stop_reason_name(Rollout::StopReason reason);
// Every camera of a rollout as CSV: a header row and CRLF line ends. A camera still in progress shows its
// state as the result; a skipped one why the run stopped.
QByteArray rollout_report(const Rollout& rollout);
// The same for a query job: address,device_id,mac,version,model,partitions,result,reason.
QByteArray inventory_report(const Rollout& rollout);
// The cameras of an earlier rollout's report, with their address, Device ID, versions and result; empty with
// `error` set when the text is no such report.
QVector<Rollout::Camera> read_rollout_report(const QByteArray& csv, QString* error);
// Written atomically: the file is either the whole text or left as it was.
bool save_report(const QString& path, const QByteArray& csv, QString* error);

// A report kept on disk while a job runs: written when it opens, again after every camera's result and at the
// end, each time atomically, so that whatever ends the program leaves the file with every result so far.
class RolloutJournal : public QObject
{
public:
    using Format = QByteArray (*)(const Rollout&);

    RolloutJournal(const Rollout& rollout, const QString& path, Format format, QObject* parent = nullptr);
    // Writes the file now; false with error() set when it cannot be created or written.
    bool write();
    QString error() const { return m_error; }
    QString path() const { return m_path; }

private:
    const Rollout& m_rollout;
    QString m_path;
    Format m_format;
    QString m_error;
};

#endif // ROLLOUTREPORT_H
