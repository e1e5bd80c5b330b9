#pragma once
// Texts and file filters the main window's source files share.
#include <QString>
#include <string>

#include "core/message_sink.h"
#include "core/string_table.h"

namespace fw::window_text {

inline QString Text(int id) { return QString::fromUtf8(MessageText(id)); }
inline std::string Path(const QString& p) { return p.toStdString(); }

// The status and menu texts use printf formats from the string table.
template <typename... A>
QString Format(int id, A... args) {
  return QString::fromStdString(FormatText(MessageText(id), args...));
}

inline constexpr char kOpenFilters[] =
    "All Supported Formats (*.gif *.avi *.bmp *.dib *.jpg *.jpe *.jpeg *.ani *.psd *.ico *.cur *.png);;"
    "GIF Files (*.gif);;AVI Files (*.avi);;BMP Files (*.bmp *.dib);;JPEG Files (*.jpg *.jpe *.jpeg);;"
    "Photoshop PSD Files (*.psd);;PNG Files (*.png);;Animated Cursors (*.ani);;Cursors (*.cur);;Icons (*.ico);;"
    "All Files (*)";

}  // namespace fw::window_text
