// The device catalogue: its shape (every row five fields, unique ids, the
// devices the SFP table must know), its pictures, and the lookups by position.
#include <QDomDocument>
#include <QFile>
#include <QPixmap>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include "DeviceCatalogue.h"

namespace {

// Parsed once: its elements live as long as the document.
const QDomDocument& catalogue()
{
    static const QDomDocument document = [] {
        QFile file(QString::fromLatin1(DEVICE_CATALOGUE_PATH));
        QDomDocument parsed;
        if (!file.open(QIODevice::ReadOnly) || !parsed.setContent(&file))
            qFatal("the catalogue cannot be read");
        return parsed;
    }();
    return document;
}

QList<QDomElement> devices()
{
    QList<QDomElement> list;
    for (QDomElement d = catalogue().documentElement().firstChildElement(); !d.isNull();
         d = d.nextSiblingElement())
        list << d;
    return list;
}

}  // namespace

class TestDeviceCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void everyRowHasFiveFieldsAndAUniqueId()
    {
        const QDomElement root = catalogue().documentElement();
        QCOMPARE(root.tagName(), QString("devices"));

        const QStringList fields{"id", "group", "name", "image", "desc"};
        QSet<QString> ids;
        const QList<QDomElement> rows = devices();
        QCOMPARE(rows.size(), 20);
        for (const QDomElement& device : rows) {
            QCOMPARE(device.tagName(), QString("device"));
            const QDomNodeList children = device.childNodes();
            QCOMPARE(children.size(), 5);
            for (int k = 0; k < 5; ++k) {
                QCOMPARE(children.at(k).toElement().tagName(), fields[k]);
                QVERIFY2(!children.at(k).toElement().text().isEmpty(), qPrintable(device.text()));
            }
            const QString id = children.at(0).toElement().text();
            QVERIFY2(QRegularExpression("^[0-9a-f]{4}$").match(id).hasMatch(), qPrintable(id));
            QVERIFY2(!ids.contains(id), qPrintable(id));
            ids << id;
        }
        const QStringList known{"1100", "1200", "1300", "2100", "2180", "2140", "2150", "2101", "2102", "2103",
                                "2104", "2105", "2106", "2107", "2108", "2200", "2240", "2300", "2340", "3100"};
        QCOMPARE(ids, QSet<QString>(known.begin(), known.end()));
    }

    void pictures_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("picture");  // empty: the catalogue names one the program does not have

        QTest::newRow("four-channel picoammeter") << "2100" << "icon_zentrim.png";
        QTest::newRow("picoammeter in recovery") << "2180" << "icon_zentrim.png";
        QTest::newRow("picoammeter, negative bias option") << "2108" << "icon_zentrim.png";
        QTest::newRow("fast picoammeter") << "2140" << "icon_zentrim_fast.png";
        QTest::newRow("output unit") << "2200" << "icon_Orvane.png";
        QTest::newRow("fast output unit") << "2240" << "icon_Orvane.png";
        QTest::newRow("encoder box") << "2300" << "icon_Kelpo.png";
        QTest::newRow("encoder box on a link") << "2340" << "icon_Kelpo.png";
        QTest::newRow("power supply") << "1100" << "";
        QTest::newRow("single-channel picoammeter") << "2150" << "";
        QTest::newRow("current transducer") << "3100" << "";
    }

    void pictures()
    {
        QFETCH(QString, id);
        QFETCH(QString, picture);

        const QString path = deviceImageFromId(id);
        QVERIFY(path.startsWith(":/product_data/"));
        QVERIFY(path.size() > QString(":/product_data/").size());
        if (picture.isEmpty()) {
            QVERIFY2(!QFile::exists(path), qPrintable(path));
            QVERIFY(QPixmap(path).isNull());
        } else {
            QCOMPARE(path, ":/product_data/" + picture);
            QVERIFY(!QPixmap(path).isNull());
        }
    }

    void everyPresentPictureLoads()
    {
        for (const QDomElement& device : devices()) {
            const QString path = deviceImageFromId(device.firstChildElement("id").text());
            if (QFile::exists(path))
                QVERIFY2(!QPixmap(path).isNull(), qPrintable(path));
        }
    }

    void lookups_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("image");

        QTest::newRow("picoammeter 2101") << "2101" << "Beamline instrumentation" << "Zentrim Z4-H1P"
                                          << ":/product_data/icon_zentrim.png";
        QTest::newRow("power supply 1100") << "1100" << "Power Supplies" << "Varda P3"
                                           << ":/product_data/icon_varda.png";
        QTest::newRow("current transducer 3100") << "3100" << "Current Transducers" << "Cirnel CT"
                                                 << ":/product_data/icon_cirnel.png";
        QTest::newRow("unknown 21a0") << "21a0" << "" << "" << ":/product_data/";
        QTest::newRow("empty id") << "" << "" << "" << ":/product_data/";
    }

    void lookups()
    {
        QFETCH(QString, id);
        QFETCH(QString, group);
        QFETCH(QString, name);
        QFETCH(QString, image);

        QCOMPARE(deviceGroupFromId(id), group);
        QCOMPARE(deviceNameFromId(id), name);
        QCOMPARE(deviceImageFromId(id), image);
        QCOMPARE(deviceDescFromId(id).isEmpty(), name.isEmpty());
    }

    void findDeviceElementWalksDepthFirst()
    {
        QDomDocument document;
        QVERIFY(document.setContent(QStringLiteral(
            "<devices><group><device><id>0001</id><name>deep</name></device></group>"
            "<device><id>0002</id><name>shallow</name></device></devices>")));
        const QDomElement root = document.documentElement();

        const QDomElement deep = findDeviceElement(root, "0001");
        QCOMPARE(deep.tagName(), QString("id"));
        QCOMPARE(deep.nextSiblingElement().text(), QString("deep"));
        QCOMPARE(findDeviceElement(root, "0002").nextSiblingElement().text(), QString("shallow"));
        // Every element is compared: a device's own text is all its fields joined.
        QCOMPARE(findDeviceElement(root, "0002shallow").tagName(), QString("device"));
        QVERIFY(findDeviceElement(root, "0003").isNull());
        QVERIFY(findDeviceElement(QDomNode(), "0001").isNull());
    }

    void missingCatalogueGivesEmptyAnswers()
    {
        Q_CLEANUP_RESOURCE(product_data);
        const QString name = deviceNameFromId("2101");
        const QString image = deviceImageFromId("2101");
        Q_INIT_RESOURCE(product_data);

        QCOMPARE(name, QString());
        QCOMPARE(image, QString(":/product_data/"));
        QCOMPARE(deviceNameFromId("2101"), QString("Zentrim Z4-H1P"));
    }
};

QTEST_MAIN(TestDeviceCatalogue)
#include "tst_devicecatalogue.moc"
