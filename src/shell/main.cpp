#include <QApplication>
#include <QCommandLineParser>
#include <QFont>
#include <QStyleFactory>

#include <cstdio>

#include "mainwindow.h"

namespace
{
void describe(QCommandLineParser* parser)
{
    parser->setApplicationDescription(QStringLiteral(
        "Opens the maintenance window for the IP network cameras of a LAN. It keeps config.ini, "
        "logo.png and data.tar.gz in the current directory; camupgrade-cli does the same work "
        "from scripts."));
    // Qt's own options are single-dash words (-platform, -style, -reverse): never read them as letters.
    parser->setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser->addHelpOption();
    parser->addVersionOption();
}

QStringList arguments(int argc, char** argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("camupgrade"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CAMUPGRADE_VERSION));

    // --help and --version need no display, so they are answered before the window's application exists;
    // the options of Qt itself are still unknown here, and left for the second reading.
    {
        QCommandLineParser early;
        describe(&early);
        early.parse(arguments(argc, argv));
        if (early.isSet(QStringLiteral("help")) || early.isSet(QStringLiteral("help-all")) ||
            early.isSet(QStringLiteral("version"))) {
            QCoreApplication printer(argc, argv);
            early.process(QStringList{QCoreApplication::arguments().value(0),
                                      early.isSet(QStringLiteral("version"))    ? QStringLiteral("--version")
                                      : early.isSet(QStringLiteral("help-all")) ? QStringLiteral("--help-all")
                                                                                : QStringLiteral("--help")});
        }
    }

    QApplication app(argc, argv);
    QCommandLineParser parser;
    describe(&parser);
    if (!parser.parse(QCoreApplication::arguments()) || !parser.positionalArguments().isEmpty()) {
        const QString error =
            parser.errorText().isEmpty()
                ? QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().value(0))
                : parser.errorText();
        std::fprintf(stderr, "camupgrade: %s\nTry 'camupgrade --help'.\n", qPrintable(error));
        return 2;
    }

    QApplication::setStyle(QStyleFactory::create("fusion"));
    // The form names Windows fonts; on Linux their closest free relatives keep the fixed-size labels
    // readable.
    QFont::insertSubstitutions(QStringLiteral("Consolas"),
                               {QStringLiteral("Inconsolata"), QStringLiteral("DejaVu Sans Mono")});
    QFont::insertSubstitution(QString::fromUtf8("宋体"), QStringLiteral("WenQuanYi Zen Hei"));
    QFont::insertSubstitution(QString::fromUtf8("微软雅黑"), QStringLiteral("WenQuanYi Zen Hei"));
    MainWindow window;
    window.show();
    return app.exec();
}
