#pragma once
// The device catalogue compiled into the program: the name, family, picture and
// description of every device that can sit on an SFP port, by its identifier
// ("%04x", lower case). Every lookup reads the catalogue anew; it is small.
#include <QDomElement>
#include <QString>

inline constexpr const char* DEVICE_CATALOGUE_PATH = ":/product_data/devices.xml";
inline constexpr const char* DEVICE_PICTURE_FOLDER = ":/product_data/";

// An empty string when the identifier is not in the catalogue.
QString deviceGroupFromId(const QString& id);
QString deviceNameFromId(const QString& id);
QString deviceDescFromId(const QString& id);
// The picture's resource path; the folder alone for an unknown identifier.
QString deviceImageFromId(const QString& id);

// Depth first from the children of `start`: the first element whose text is `id`
// exactly, or a null element.
QDomElement findDeviceElement(QDomNode start, const QString& id);
