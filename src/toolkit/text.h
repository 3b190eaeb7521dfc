#pragma once
// The one conversion between the program's strings and Qt's. Paths and texts are byte strings
// in the system code page everywhere below the windows; QString appears only where Qt needs it.

#include <QString>
#include <string>

namespace torvana::toolkit {

inline QString toQString(const std::string& text) { return QString::fromLocal8Bit(text.c_str()); }
inline std::string toLocalString(const QString& text) { return text.toLocal8Bit().toStdString(); }

}  // namespace torvana::toolkit
