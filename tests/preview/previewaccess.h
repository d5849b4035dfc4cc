#ifndef PREVIEWACCESS_H
#define PREVIEWACCESS_H

#include <QCoreApplication>
#include <QStringList>

#include "mainwindow.h"

template <typename Tag> class MainWindowAccess;
struct PreviewTag;

// What the preview tests read inside the window.
template <> class MainWindowAccess<PreviewTag>
{
public:
    static PreviewSession* session(MainWindow& w) { return w.preview_session; }
    static CameraControl* control(MainWindow& w) { return w.camera_control; }
    static bool connected(MainWindow& w) { return w.rtsp_connected(); }
    static QHostAddress osdAddress(MainWindow& w) { return w.osd_address(); }
    static void setImage(MainWindow& w, const QImage& image) { w.rtsp_SetImage(image); }
};
using Preview = MainWindowAccess<PreviewTag>;

// A window text as the operator sees it in the language the window starts in.
inline QStringList shownAs(const char* text)
{
    return {QCoreApplication::translate("MainWindow", text)};
}

#endif // PREVIEWACCESS_H
