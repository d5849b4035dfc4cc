// camupgrade-cli: the command-line face of the camera maintenance core.
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>

#include "subcommand.h"

// Defined in cameracommands.cpp, lancommands.cpp, assigncommand.cpp and rolloutcommand.cpp.
extern const Subcommand kSearchCommand, kQueryCommand, kUpgradeCommand, kBackupCommand, kRestoreCommand,
    kConfigCommand, kRebootCommand, kBlinkCommand, kAssignCommand, kRolloutCommand;

namespace
{
// The dispatch table, in the order the overview lists the subcommands.
const Subcommand* const kCommands[] = {
    &kSearchCommand, &kQueryCommand,  &kUpgradeCommand, &kBackupCommand, &kRestoreCommand,
    &kConfigCommand, &kRebootCommand, &kBlinkCommand,   &kAssignCommand, &kRolloutCommand,
};

const Subcommand* findCommand(const QString& name)
{
    for (const Subcommand* command : kCommands)
        if (name == QLatin1String(command->name))
            return command;
    return nullptr;
}

QString overview()
{
    QString text = QStringLiteral("Usage: camupgrade-cli COMMAND [options]\n\n"
                                  "Finds, configures, upgrades, backs up and restores IP network cameras.\n\n"
                                  "Commands:\n");
    for (const Subcommand* command : kCommands)
        text += QStringLiteral("  %1 %2\n      %3\n")
                    .arg(QLatin1String(command->name), -7)
                    .arg(QLatin1String(command->synopsis), QLatin1String(command->summary));
    text +=
        QStringLiteral("  --version | --help\n\n"
                       "Run 'camupgrade-cli COMMAND --help' for the options of one command.\n"
                       "Exit status: 0 success; 1 the camera reported a failure, the connection failed or a "
                       "check refused the work; 2 usage error.\n");
    return text;
}

void print(const QString& text, FILE* stream = stdout)
{
    std::fputs(text.toUtf8().constData(), stream);
}

// arguments: the program's, with the command name at `at`.
int runCommand(const Subcommand& command, QStringList arguments, int at)
{
    const QString name = QLatin1String(command.name);
    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(command.summary));
    const QCommandLineOption help = parser.addHelpOption();
    parser.addOption(
        {QStringLiteral("json"), QStringLiteral("One JSON object per line; the last is the result.")});
    command.declare(parser);
    arguments.removeAt(at);
    if (!parser.parse(arguments))
        return Output::usageError(name, parser.errorText());
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        // Qt's usage line names no subcommand; the synopsis does.
        QString text = parser.helpText();
        text.replace(
            0, text.indexOf(QLatin1Char('\n')),
            QStringLiteral("Usage: camupgrade-cli %1 %2").arg(name, QLatin1String(command.synopsis)));
        print(text);
        return 0;
    }
    const bool csv = parser.optionNames().contains(QStringLiteral("csv"));
    Output out(parser.isSet(QStringLiteral("json")) ? Output::Format::Json
               : csv                                ? Output::Format::Csv
                                                    : Output::Format::Text);
    return command.run(Invocation{name, parser, out});
}
} // namespace

int runEventLoop(const std::function<void()>& start)
{
    QTimer::singleShot(0, start);
    return QCoreApplication::exec();
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("camupgrade-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CAMUPGRADE_VERSION));
    // The core's diagnostic lines are for developers; QT_LOGGING_RULES brings them back.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    QCommandLineParser parser;
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("The command to run."));
    // Everything after the command name belongs to the command.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QStringList arguments = QCoreApplication::arguments();
    if (!parser.parse(arguments))
        return Output::usageError(QString(), parser.errorText());
    if (parser.isSet(version)) {
        print(QStringLiteral("camupgrade-cli %1\n").arg(QCoreApplication::applicationVersion()));
        return 0;
    }
    if (parser.isSet(help)) {
        print(overview());
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        print(overview(), stderr);
        return 2;
    }
    const Subcommand* command = findCommand(positional.first());
    if (!command)
        return Output::usageError(QString(), QStringLiteral("unknown command '%1'").arg(positional.first()));
    return runCommand(*command, arguments, arguments.indexOf(positional.first(), 1));
}
