#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMutex>
#include <QPixmap>
#include <QScrollBar>
#include <QTextEdit>
#include <QTranslator>

#include "rollout/rollouttab.h"

namespace
{
// The window's catalogue. It also remembers which source text each text it was asked for came from, so that
// a language change can translate again what the program put into its status labels.
class WindowTranslator : public QTranslator
{
public:
    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override
    {
        const QString text = QTranslator::translate(context, sourceText, disambiguation, n);
        if (sourceText && qstrcmp(context, "MainWindow") == 0) {
            QMutexLocker lock(&mutex);
            sources.insert(text.isNull() ? QString::fromUtf8(sourceText) : text, QByteArray(sourceText));
        }
        return text;
    }

    // The text shown again in the language now installed; a text the window never translated stays.
    QString again(const QString& shown) const
    {
        QByteArray source;
        {
            QMutexLocker lock(&mutex);
            source = sources.value(shown);
        }
        return source.isEmpty() ? shown : QCoreApplication::translate("MainWindow", source.constData());
    }

private:
    mutable QMutex mutex;
    mutable QHash<QString, QByteArray> sources;
};

// One translator for the whole application, reloaded on each language change.
WindowTranslator* translator = nullptr;
// The toolkit's own texts (the Ok and Cancel of message boxes, the file dialog) in Chinese.
QTranslator* toolkit_translator = nullptr;

void install_toolkit_translation(const QString& language)
{
    if (!toolkit_translator)
        toolkit_translator = new QTranslator;
    QApplication::removeTranslator(toolkit_translator);
    if (language == QLatin1String("Chinese") &&
        toolkit_translator->load(QStringLiteral("qtbase_zh_CN"),
                                 QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(toolkit_translator);
}

QString catalogue_for(const QString& language)
{
    if (language == QLatin1String("Chinese"))
        return QStringLiteral(":/trans/zh.qm");
    if (language == QLatin1String("English"))
        return QStringLiteral(":/trans/en.qm");
    return QString();
}

// What the operator typed and what the window shows, across a retranslation of the form, which puts the
// form's own texts back into every field (the selectors keep their choice). Widgets that translate
// themselves are left to do so.
struct KeptForm {
    QVector<QPair<QLineEdit*, QString>> edits;
    QVector<QPair<QLabel*, QString>> statuses;
    QString devices;
    QPixmap picture;
    QString log;
    int log_scroll = 0;
};

KeptForm keep_form(const Ui::MainWindow& ui, const QWidget* own_texts)
{
    KeptForm kept;
    for (QLineEdit* edit : ui.centralWidget->findChildren<QLineEdit*>())
        if (!own_texts->isAncestorOf(edit))
            kept.edits.append({edit, edit->text()});
    for (QLabel* label : {ui.label_4, ui.label_6, ui.label_23, ui.labVideo})
        kept.statuses.append({label, label->text()});
    kept.devices = ui.label_3->text();
    kept.picture = ui.labVideo->pixmap(Qt::ReturnByValue);
    kept.log = ui.textEdit->toHtml();
    kept.log_scroll = ui.textEdit->verticalScrollBar()->value();
    return kept;
}

void restore_form(const Ui::MainWindow& ui, const KeptForm& kept)
{
    for (const auto& [edit, text] : kept.edits)
        if (edit->text() != text)
            edit->setText(text);
    for (const auto& [label, text] : kept.statuses)
        label->setText(translator->again(text));
    if (!kept.picture.isNull())
        ui.labVideo->setPixmap(kept.picture);
    ui.textEdit->setHtml(kept.log);
    ui.textEdit->verticalScrollBar()->setValue(kept.log_scroll);
}
} // namespace

void MainWindow::install_translator()
{
    if (translator) {
        QApplication::removeTranslator(translator);
        delete translator;
    }
    translator = new WindowTranslator;
    install_toolkit_translation(language);
    const QString catalogue = catalogue_for(language);
    if (!catalogue.isEmpty())
        translator->load(catalogue);
    QApplication::installTranslator(translator);
    ui->retranslateUi(this);
    if (language == QLatin1String("Chinese"))
        ui->language_comboBox->setCurrentIndex(0);
    else if (language == QLatin1String("English"))
        ui->language_comboBox->setCurrentIndex(1);
}

// Every text in the new language; the fields keep what they hold, and the indicators are evaluated again.
void MainWindow::retranslate_form()
{
    const KeptForm kept = keep_form(*ui, rollout_tab);
    ui->retranslateUi(this);
    restore_form(*ui, kept);
    const QString devices = translator->again(kept.devices);
    ui->label_3->setText(devices != kept.devices || device_list.isEmpty()
                             ? devices
                             : tr("Devices: ") + QString::number(device_list.size()));
    ui->label_21->setText(QFile::exists(kArchive) ? tr("exist") : tr("none"));
    ui->rtsp_connect_Button->setText(preview_session->isActive() ? tr("Disconnect") : tr("Connect"));
}

void MainWindow::on_language_comboBox_activated(int index)
{
    // A retranslation would relabel a running upgrade's status mid-way.
    if (upgrading)
        return;
    if (index != 0 && index != 1)
        return;
    language = index == 0 ? QStringLiteral("Chinese") : QStringLiteral("English");
    install_toolkit_translation(language);
    QApplication::removeTranslator(translator);
    translator->load(catalogue_for(language));
    QApplication::installTranslator(translator);
    retranslate_form();
    ui->language_comboBox->setCurrentIndex(index);

    upgrade_action->setText(tr("Upgrade"));
    config_action->setText(tr("Config"));
    backup_action->setText(tr("Backup"));
    preview_action->setText(tr("Preview"));
    reboot_action->setText(tr("Reboot"));
    flicker_action->setText(tr("Flicker"));
    close_flicker_action->setText(tr("Close Flicker"));
}

void MainWindow::load_oem_logo()
{
    if (!QFile::exists(QStringLiteral("logo.png"))) {
        qDebug() << "不存在logo文件";
        return;
    }
    ui->oem_logo_label->setPixmap(QPixmap(QStringLiteral("logo.png")));
}
