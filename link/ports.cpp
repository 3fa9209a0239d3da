#include "ports.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QSerialPortInfo>
#include <QStringList>

#include <algorithm>

bool IsValidPortNumber(int portNumber) {
    return portNumber >= FirstPortNumber && portNumber <= LastPortNumber;
}

QString PortDeviceName(int portNumber) {
    if (!IsValidPortNumber(portNumber)) {
        return {};
    }
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    static const char* const devices[] = {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS0",
                                          "/dev/ttyS1",   "/dev/ttyACM0", "/dev/ttyACM1"};
    return QString::fromLatin1(devices[portNumber - FirstPortNumber]);
#endif
}

bool IsTcpDevice(const QString& device) {
    return device.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive);
}

bool ParseTcpDevice(const QString& device, QString& host, quint16& port) {
    if (!IsTcpDevice(device)) {
        return false;
    }
    const QString rest = device.mid(6);
    const qsizetype colon = rest.lastIndexOf(u':');
    if (colon <= 0) {
        return false;
    }
    QString name = rest.left(colon);
    const QString number = rest.mid(colon + 1);
    if (name.startsWith(u'[') && name.endsWith(u']')) {
        name = name.mid(1, name.size() - 2);
    } else if (name.contains(u':') || name.contains(u'/')) {
        return false;
    }
    bool ok = false;
    const uint value = number.toUInt(&ok);
    if (name.isEmpty() || !ok || value < 1 || value > 65535 || number.startsWith(u'+')) {
        return false;
    }
    host = name;
    port = quint16(value);
    return true;
}

QList<SystemPort> SystemPortsNow() {
    QList<SystemPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SystemPort p;
        p.portName = info.portName();
        p.systemLocation = info.systemLocation();
        p.description = info.description();
        p.manufacturer = info.manufacturer();
        p.serialNumber = info.serialNumber();
        p.hasVendorId = info.hasVendorIdentifier();
        p.vendorId = info.vendorIdentifier();
        p.hasProductId = info.hasProductIdentifier();
        p.productId = info.productIdentifier();
        ports.append(p);
    }
    return ports;
}

QList<PortEntry> ListPorts(const QList<SystemPort>& ports, const QString& stableNameDir) {
    // Stable name of each device: the links of the directory, by the device they lead to.
    QMap<QString, QString> stable;
    const QDir dir(stableNameDir);
    if (!stableNameDir.isEmpty() && dir.exists()) {
        const QFileInfoList links =
            dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& link : links) {
            const QString target = link.canonicalFilePath();
            if (link.isSymLink() && !target.isEmpty() && !stable.contains(target)) {
                stable.insert(target, link.absoluteFilePath());
            }
        }
    }
    QList<PortEntry> entries;
    QStringList seen;
    for (const SystemPort& p : ports) {
        const QString location = p.systemLocation.isEmpty() ? p.portName : p.systemLocation;
        if (location.isEmpty() || seen.contains(location)) {
            continue;
        }
        seen << location;
        PortEntry e;
        e.systemLocation = location;
        const QString canonical = QFileInfo(location).canonicalFilePath();
        e.stableName = stable.value(canonical.isEmpty() ? location : canonical);
        e.device = e.stableName.isEmpty() ? location : e.stableName;
        QStringList words;
        if (!p.description.isEmpty()) {
            words << p.description;
        }
        if (!p.manufacturer.isEmpty() && !p.description.contains(p.manufacturer)) {
            words << p.manufacturer;
        }
        e.description = words.join(QStringLiteral(", "));
        if (p.hasVendorId && p.hasProductId) {
            e.usbId = QStringLiteral("%1:%2")
                          .arg(p.vendorId, 4, 16, QLatin1Char('0'))
                          .arg(p.productId, 4, 16, QLatin1Char('0'));
        }
        entries.append(e);
    }
    std::sort(entries.begin(), entries.end(),
              [](const PortEntry& a, const PortEntry& b) { return a.systemLocation < b.systemLocation; });
    return entries;
}

QList<PortEntry> SystemPortList() {
    return ListPorts(SystemPortsNow());
}

bool DeviceExists(const QString& device) {
    if (device.isEmpty()) {
        return false;
    }
    if (IsTcpDevice(device)) {
        return true;
    }
#ifdef Q_OS_WIN
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (info.portName().compare(device, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
#else
    return QFileInfo::exists(device);
#endif
}
