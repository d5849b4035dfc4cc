#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

namespace
{
// After a disconnect the button rests this long, so the second click of a double click starts nothing.
const int kDisconnectGraceMs = 300;
} // namespace

void MainWindow::init_preview()
{
    preview_session = new PreviewSession(this);
    camera_control = new CameraControl(preview_session, this);
    connect(preview_session, &PreviewSession::frame, this, &MainWindow::rtsp_SetImage);
    connect(preview_session, &PreviewSession::opened, this, [this] {
        ui->labVideo->clear();
        ui->labVideo->resize(ui->widget->width(), ui->widget->height());
    });
    connect(preview_session, &PreviewSession::failed, this, &MainWindow::show_preview_failure);
    connect(preview_session, &PreviewSession::reconnecting, this,
            [this] { ui->textEdit->append(tr("No picture for 5 s, reconnecting...")); });
    connect(camera_control, &CameraControl::formatError, this,
            [this] { QMessageBox::information(this, tr("Information"), tr("Command format error")); });
}

void MainWindow::on_rtsp_connect_Button_clicked()
{
    if (preview_session->isActive()) {
        stop_preview(true);
        return;
    }
    if (!preview_session->start(ui->txtUrl->text(), ui->txtPort->text())) {
        QMessageBox::warning(this, tr("Warning"), tr("Network information fill in error"));
        return;
    }
    ui->rtsp_connect_Button->setText(tr("Disconnect"));
    ui->labVideo->setText(tr("connecting..."));
}

void MainWindow::show_preview_failure(PreviewSession::Failure failure)
{
    // Only a stream that was being opened went through the disconnect, and its rest.
    stop_preview(failure == PreviewSession::Failure::StreamFailed);
    const QString text =
        failure == PreviewSession::Failure::Unreachable ? tr("Connection timeout") : tr("Connection failure");
    QMessageBox::warning(this, tr("Warning"), text);
}

void MainWindow::stop_preview(bool rest)
{
    preview_session->stop();
    ui->labVideo->clear();
    ui->rtsp_connect_Button->setText(tr("Connect"));
    if (!rest)
        return;
    ui->rtsp_connect_Button->setEnabled(false);
    QTimer::singleShot(kDisconnectGraceMs, this, [this] { ui->rtsp_connect_Button->setEnabled(true); });
}

void MainWindow::rtsp_SetImage(QImage image)
{
    if (!rtsp_connected() || image.height() <= 0)
        return;
    const QImage scaled = image.scaled(ui->labVideo->size(), Qt::KeepAspectRatio, Qt::FastTransformation);
    ui->labVideo->setPixmap(QPixmap::fromImage(scaled));
}

bool MainWindow::rtsp_connected() const
{
    return preview_session->isPlaying();
}

QFFmpeg* MainWindow::ffmpeg() const
{
    return preview_session->decoder();
}

RtspThread* MainWindow::rtsp_thread() const
{
    return preview_session->thread();
}
