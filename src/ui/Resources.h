// The program's own compiled-in resources, looked up by name without regard to case.
//
// Resources live in the Qt resource tree: bitmaps under ":/bitmap/<NAME>", icons under
// ":/icon/<NAME>/<size>" (one image per size) and raw data such as sounds under
// ":/rcdata/<NAME>". Names are matched ignoring case ("xWarning" finds "XWARNING"). A name that
// is not there yields an empty result; nothing here throws.
#pragma once

#include <QIcon>
#include <QImage>
#include <QString>
#include <string_view>

namespace pavana {

// The bitmap of that name as Format_RGB32, or a null image.
QImage LoadBitmapResource(std::string_view name);

// Every image of the icon of that name, or a null icon.
QIcon LoadIconResource(std::string_view name);

// The image of the icon of that name whose size is width x width, or a null image.
QImage LoadIconImage(std::string_view name, int width);

// The resource path of the raw data resource of that name, or an empty string.
QString RawResourcePath(std::string_view name);

}  // namespace pavana
