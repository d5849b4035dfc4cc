#ifndef ROLLOUTREPORT_H
#define ROLLOUTREPORT_H

#include <QByteArray>
#include <QString>

#include "rollout.h"

// One CSV field (RFC 4180): quoted, its quotes doubled, when it holds a comma, a quote or a line break.
QString csv_field(const QString& text);
// Why a camera failed, in the report's words (also the command line's for a rollout); empty when it did not.
QString report_reason(const Rollout::Camera& camera);
// Every camera of a rollout as CSV: a header row and CRLF line ends. A camera still in progress shows its
// state as the result.
QByteArray rollout_report(const Rollout& rollout);
// Written atomically: the file is either the whole report or left as it was.
bool write_rollout_report(const Rollout& rollout, const QString& path, QString* error);

#endif // ROLLOUTREPORT_H
