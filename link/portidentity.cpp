#include "link/portidentity.h"

PortIdentity PortIdentity::of(const SerialPortRecord &port)
{
    PortIdentity identity;
    identity.m_serialNumber = port.serialNumber;
    // Ids alone are shared by every adapter of the model; with the socket they name one.
    if (port.hasVendorAndProduct && !port.usbLocation.isEmpty()) {
        identity.m_vendorId = port.vendorId;
        identity.m_productId = port.productId;
        identity.m_usbLocation = port.usbLocation;
    }
    return identity;
}

bool PortIdentity::matches(const SerialPortRecord &port) const
{
    if (!isKnown())
        return false;
    if (!m_serialNumber.isEmpty())
        return port.serialNumber == m_serialNumber;
    return port.serialNumber.isEmpty() && port.hasVendorAndProduct && port.vendorId == m_vendorId &&
           port.productId == m_productId && port.usbLocation == m_usbLocation;
}

QString PortIdentity::text() const
{
    if (!m_serialNumber.isEmpty())
        return QStringLiteral("S/N %1").arg(m_serialNumber);
    if (!m_usbLocation.isEmpty())
        return QStringLiteral("%1:%2 @ %3")
            .arg(m_vendorId, 4, 16, QLatin1Char('0'))
            .arg(m_productId, 4, 16, QLatin1Char('0'))
            .arg(m_usbLocation);
    return {};
}

PortIdentity::Found PortIdentity::find(const QString &resolvedPath,
                                       const QList<SerialPortRecord> &ports) const
{
    const SerialPortRecord *atPath = nullptr;
    for (const SerialPortRecord &port : ports) {
        if (isKnown() && matches(port))
            return {Verdict::Open, port.systemLocation};
        if (!resolvedPath.isEmpty() && port.systemLocation == resolvedPath)
            atPath = &port;
    }
    if (resolvedPath.isEmpty())
        return {Verdict::Absent, {}};
    if (isKnown())
        return {atPath ? Verdict::NotOurs : Verdict::Absent, {}};
    if (atPath && PortIdentity::of(*atPath).isKnown())
        return {Verdict::NotOurs, {}};
    return {Verdict::Open, resolvedPath};
}
