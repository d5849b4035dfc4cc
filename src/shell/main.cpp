#include <QApplication>
#include <QFont>
#include <QStyleFactory>

#include "mainwindow.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
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
