#pragma once
// The one conversion between the program's strings and Qt's. Paths and texts are byte strings
// everywhere below the windows; QString appears only where Qt needs it. Bytes are read as a
// project file's fields are (UTF-8 where they are valid UTF-8, otherwise Windows-1252;
// project_text.h), and Qt's text goes back as UTF-8.

#include <QString>
#include <string>

#include "project/project_text.h"

namespace torvana::toolkit {

inline QString toQString(const std::string& text) { return QString::fromStdString(torvana::projectText(text)); }
inline std::string toLocalString(const QString& text) { return text.toStdString(); }

}  // namespace torvana::toolkit
