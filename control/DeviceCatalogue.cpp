#include "DeviceCatalogue.h"

#include <QDomDocument>
#include <QFile>

// The bundle sits in a static library; referencing it from the code that reads
// it keeps the linker from dropping it.
static int anchorCatalogueResources()
{
    Q_INIT_RESOURCE(product_data);
    return 1;
}
[[maybe_unused]] static const int catalogueResourcesAnchored = anchorCatalogueResources();

namespace {

enum Field { FieldGroup = 1, FieldName = 2, FieldImage = 3, FieldDesc = 4 };

// The field at position `field` among the siblings of the matched id element.
// An unreadable catalogue or an unknown id gives an empty string.
QString fieldFromId(const QString& id, Field field)
{
    QFile file(QString::fromLatin1(DEVICE_CATALOGUE_PATH));
    QDomDocument document;
    if (!file.open(QIODevice::ReadOnly) || !document.setContent(&file))
        return QString();
    const QDomElement match = findDeviceElement(document.documentElement(), id);
    return match.parentNode().childNodes().at(field).firstChild().nodeValue();
}

}  // namespace

QDomElement findDeviceElement(QDomNode start, const QString& id)
{
    for (QDomElement child = start.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        if (child.text() == id)
            return child;
        const QDomElement inside = findDeviceElement(child, id);
        if (!inside.isNull())
            return inside;
    }
    return QDomElement();
}

QString deviceGroupFromId(const QString& id)
{
    return fieldFromId(id, FieldGroup);
}

QString deviceNameFromId(const QString& id)
{
    return fieldFromId(id, FieldName);
}

QString deviceImageFromId(const QString& id)
{
    return QString::fromLatin1(DEVICE_PICTURE_FOLDER) + fieldFromId(id, FieldImage);
}

QString deviceDescFromId(const QString& id)
{
    return fieldFromId(id, FieldDesc);
}
