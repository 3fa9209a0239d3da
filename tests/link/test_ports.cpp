// The list of the system's serial ports in the port dialog, built from what QSerialPortInfo tells (here a
// list of the test's own) and the stable names under a by-id directory (here a scratch one).

#include "ports.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

SystemPort Port(const QString& location, const QString& description = {}, const QString& manufacturer = {},
                int vendor = -1, int product = -1) {
    SystemPort p;
    p.portName = location.section(u'/', -1);
    p.systemLocation = location;
    p.description = description;
    p.manufacturer = manufacturer;
    p.hasVendorId = vendor >= 0;
    p.vendorId = quint16(qMax(vendor, 0));
    p.hasProductId = product >= 0;
    p.productId = quint16(qMax(product, 0));
    return p;
}

} // namespace

class TestPorts : public QObject {
    Q_OBJECT
private slots:
    // Each row: the ports the system lists (device names in a scratch "dev"), the stable names in a
    // scratch "by-id" (name -> device), and the entries expected: "location|stable|description|usb|device".
    void portList_data() {
        QTest::addColumn<QList<SystemPort>>("ports");
        QTest::addColumn<QStringList>("links"); // "by-id name=device name"
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("no ports") << QList<SystemPort>{} << QStringList{} << QStringList{};
        QTest::newRow("USB adapter with a stable name")
            << QList<SystemPort>{Port("ttyUSB3", "FT232R USB UART", "FTDI", 0x0403, 0x6001)}
            << QStringList{"usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0=ttyUSB3"}
            << QStringList{"ttyUSB3|usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0|FT232R USB UART, "
                           "FTDI|0403:6001|by-id"};
        QTest::newRow("on-board port: no stable name, no USB")
            << QList<SystemPort>{Port("ttyS0")} << QStringList{} << QStringList{"ttyS0||||dev"};
        QTest::newRow("sorted by device, the same device once, a link to another device ignored")
            << QList<SystemPort>{Port("ttyUSB1", "CP2102", "Silicon Labs", 0x10c4, 0xea60),
                                 Port("ttyACM0", "Modem", "Modem"), Port("ttyUSB1", "again")}
            << QStringList{"usb-Silicon_Labs_CP2102-if00-port0=ttyUSB1", "usb-gone=ttyUSB9"}
            << QStringList{"ttyACM0||Modem||dev",
                           "ttyUSB1|usb-Silicon_Labs_CP2102-if00-port0|CP2102, Silicon Labs|10c4:ea60|by-id"};
        QTest::newRow("vendor without product is no USB id")
            << QList<SystemPort>{Port("ttyUSB0", "x", {}, 0x1a86, -1)} << QStringList{}
            << QStringList{"ttyUSB0||x||dev"};
    }
    void portList() {
        QFETCH(QList<SystemPort>, ports);
        QFETCH(QStringList, links);
        QFETCH(QStringList, expected);
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        QDir root(scratch.path());
        QVERIFY(root.mkdir("dev") && root.mkdir("by-id"));
        const QString dev = root.filePath("dev");
        const QString byId = root.filePath("by-id");
        for (SystemPort& p : ports) {
            p.systemLocation = dev + u'/' + p.systemLocation;
            QFile device(p.systemLocation);
            QVERIFY(device.open(QIODevice::WriteOnly));
        }
        for (const QString& link : links) {
            const QStringList parts = link.split(u'=');
            QVERIFY(QFile::link(dev + u'/' + parts[1], byId + u'/' + parts[0]));
        }
        const QList<PortEntry> entries = ListPorts(ports, byId);
        QStringList got;
        for (const PortEntry& e : entries) {
            QString where = e.device == e.stableName && !e.stableName.isEmpty() ? "by-id"
                            : e.device == e.systemLocation                      ? "dev"
                                                                                : "?";
            got << QStringList{e.systemLocation.section(u'/', -1), e.stableName.section(u'/', -1),
                               e.description, e.usbId, where}
                       .join(u'|');
            if (!e.stableName.isEmpty()) {
                QCOMPARE(QFileInfo(e.stableName).absolutePath(), byId);
            }
        }
        QCOMPARE(got, expected);
    }

    // The stable names are looked for only where they are: a missing directory gives none.
    void missingByIdDirectory() {
        QTemporaryDir scratch;
        const QString location = scratch.filePath("ttyUSB0");
        QFile device(location);
        QVERIFY(device.open(QIODevice::WriteOnly));
        const QList<PortEntry> entries = ListPorts({Port(location)}, scratch.filePath("nowhere"));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].device, location);
        QVERIFY(entries[0].stableName.isEmpty());
        QVERIFY(DeviceExists(location));
        QVERIFY(!DeviceExists(scratch.filePath("ttyUSB9")));
        QVERIFY(DeviceExists("tcp://127.0.0.1:5020"));
        QVERIFY(!DeviceExists(QString()));
    }
};

QTEST_GUILESS_MAIN(TestPorts)
#include "test_ports.moc"
