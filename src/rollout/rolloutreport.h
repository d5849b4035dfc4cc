#ifndef ROLLOUTREPORT_H
#define ROLLOUTREPORT_H

#include <QByteArray>
#include <QString>

class Rollout;

// Every camera of a rollout as CSV (RFC 4180: a header row, CRLF line ends, a field quoted when it holds a
// comma, a quote or a line break). A camera still in progress shows its state as the result.
QByteArray rollout_report(const Rollout& rollout);
// Written atomically: the file is either the whole report or left as it was.
bool write_rollout_report(const Rollout& rollout, const QString& path, QString* error);

#endif // ROLLOUTREPORT_H
