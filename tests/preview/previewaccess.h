#ifndef PREVIEWACCESS_H
#define PREVIEWACCESS_H

#include <QCoreApplication>
#include <QStringList>

#include "mainwindow.h"

template <typename Tag> class MainWindowAccess;
struct PreviewTag;

// What the preview tests read and set inside the window.
template <> class MainWindowAccess<PreviewTag>
{
public:
    static bool& connected(MainWindow& w) { return w.rtsp_connected; }
    static QFFmpeg* decoder(MainWindow& w) { return w.ffmpeg; }
    static QHostAddress*& osdAddress(MainWindow& w) { return w.osd_address; }
    static bool& menuOpen(MainWindow& w) { return w.osd_menu_open; }
    static void setImage(MainWindow& w, const QImage& image) { w.rtsp_SetImage(image); }
    static void send(MainWindow& w, const QString& command)
    {
        w.send_osd_command(*w.osd_address, quint16(w.osd_port), command);
    }
};
using Preview = MainWindowAccess<PreviewTag>;

// A window text as the operator sees it in the language the window starts in.
inline QStringList shownAs(const char* text)
{
    return {QCoreApplication::translate("MainWindow", text)};
}

#endif // PREVIEWACCESS_H
