#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDebug>
#include <QFile>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QTranslator>

namespace
{
// One translator for the whole application, reloaded on each language change.
QTranslator* translator = nullptr;
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

// The form's selectors come back on their first item after every retranslation, as their lists are
// rebuilt from the translated texts.
void refill_on_first_item(QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    box->clear();
    box->insertItems(0, items);
}
} // namespace

void MainWindow::retranslate_form()
{
    ui->retranslateUi(this);
    // The form leaves these empty, so the generated retranslation has no text to put back into them.
    for (QLineEdit* edit : {ui->ip_address_lineEdit, ui->netmask_lineEdit, ui->gateway_lineEdit,
                            ui->fdns_lineEdit, ui->mac4_lineEdit, ui->mac5_lineEdit, ui->mac6_lineEdit})
        edit->clear();
    refill_on_first_item(ui->dhcp_comboBox);
    refill_on_first_item(ui->upgrade_preview_comboBox);
    refill_on_first_item(ui->language_comboBox);
    refill_on_first_item(ui->worktype_comboBox);
}

void MainWindow::install_translator()
{
    if (translator) {
        QApplication::removeTranslator(translator);
        delete translator;
    }
    translator = new QTranslator;
    install_toolkit_translation(language);
    const QString catalogue = catalogue_for(language);
    if (!catalogue.isEmpty())
        translator->load(catalogue);
    QApplication::installTranslator(translator);
    retranslate_form();
    if (language == QLatin1String("Chinese"))
        ui->language_comboBox->setCurrentIndex(0);
    else if (language == QLatin1String("English"))
        ui->language_comboBox->setCurrentIndex(1);
}

void MainWindow::on_language_comboBox_activated(int index)
{
    // A retranslation resets the form, which would wipe the status of a running upgrade.
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
