#pragma once
// The example project: a 640 x 480 background, three rollover pictures, three sounds, a
// document for a hotspot to open, and "sample.cdrom" naming them by their full paths, with the
// staging folder DIR/stage. Used by torvana-make-example and by the screenshots.

#include <QString>

// Writes the example into `folder` (created when missing) and returns the project file's path.
// Throws torvana::Error when a file cannot be written.
QString writeExampleProject(const QString& folder);
