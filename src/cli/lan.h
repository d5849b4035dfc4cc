#ifndef CLI_LAN_H
#define CLI_LAN_H

// What the commands on the discovery group share: the interface option, the sockets, and the words for the
// settings rules.
#include <QCommandLineParser>
#include <QString>

#include "discoverymessages.h"
#include "settingsrules.h"
#include "subcommand.h"

class DiscoveryClient;

namespace lan
{
constexpr int DefaultWaitSeconds = 3;
constexpr double MaxWaitSeconds = 600;

void declareInterface(QCommandLineParser& parser);
// The problem with --interface, empty when there is none.
QString interfaceProblem(const QCommandLineParser& parser);
// --wait in milliseconds, or -1 when it is no number of seconds up to MaxWaitSeconds.
int waitMs(const QCommandLineParser& parser);
// Sets up the discovery sockets: -1 when they are ready, else the exit status after saying why.
int openClient(const Invocation& in, DiscoveryClient& client);
// Why the settings break the rule, in the command line's words.
QString settingsFaultText(discovery::SettingsFault fault, const discovery::NetworkSettings& settings);
} // namespace lan

#endif // CLI_LAN_H
