#include "link/portanswer.h"
#include "link/portidentity.h"

#include <QTest>

namespace {

SerialPortRecord port(const QString &path, const QString &serial, quint16 vendor = 0,
                      quint16 product = 0, const QString &usb = QString())
{
    SerialPortRecord record;
    record.systemLocation = path;
    record.serialNumber = serial;
    record.vendorId = vendor;
    record.productId = product;
    record.hasVendorAndProduct = vendor != 0;
    record.usbLocation = usb;
    return record;
}

// The adapters of these cases: two FTDI cables with serial numbers, two of a model without one
// in two sockets, and a built-in port.
const SerialPortRecord kFtdiA = port("/dev/ttyUSB0", "FT1A", 0x0403, 0x6001, "1-1:1.0");
const SerialPortRecord kFtdiB = port("/dev/ttyUSB1", "FT2B", 0x0403, 0x6001, "1-2:1.0");
const SerialPortRecord kPlain1 = port("/dev/ttyUSB0", "", 0x1a86, 0x7523, "1-1:1.0");
const SerialPortRecord kPlain2 = port("/dev/ttyUSB1", "", 0x1a86, 0x7523, "1-2:1.0");
const SerialPortRecord kBuiltIn = port("/dev/ttyS0", "");

SerialPortRecord movedTo(SerialPortRecord record, const QString &path, const QString &usb = {})
{
    record.systemLocation = path;
    if (!usb.isEmpty())
        record.usbLocation = usb;
    return record;
}

} // namespace

Q_DECLARE_METATYPE(PortIdentity::Verdict)

// Which port is meant: what the operator answers in the 通信 box, and where the lost adapter
// may be opened again among the ports the system lists now.
class TestPortIdentity : public QObject
{
    Q_OBJECT

private slots:
    void answer_data();
    void answer();
    void find_data();
    void find();
};

void TestPortIdentity::answer_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("number"); // -1: none
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("valid");

    QTest::newRow("default") << "1" << 1 << QString() << true;
    QTest::newRow("half to even") << " 2.5 " << 2 << QString() << true;
    QTest::newRow("negative number") << "-3" << -3 << QString() << true;
    QTest::newRow("bare name") << "ttyUSB0" << -1 << "/dev/ttyUSB0" << true;
    QTest::newRow("path") << "/dev/ttyACM1" << -1 << "/dev/ttyACM1" << true;
    QTest::newRow("list entry, read up to its first blank")
        << "/dev/serial/by-id/usb-FTDI_A50285BI-if00  FT232R USB UART A50285BI" << -1
        << "/dev/serial/by-id/usb-FTDI_A50285BI-if00" << true;
    SerialPortRecord described = kFtdiB;
    described.description = QStringLiteral("FT232R USB UART");
    QTest::newRow("an entry as the list offers it")
        << PortAnswer::listEntry(described) << -1 << "/dev/ttyUSB1" << true;
    QTest::newRow("out of range") << "40000" << -1 << QString() << false;
    QTest::newRow("a number with letters") << "1abc" << -1 << QString() << false;
    QTest::newRow("not a name") << "../ttyS0" << -1 << QString() << false;
    QTest::newRow("blank") << "   " << -1 << QString() << false;
}

void TestPortIdentity::answer()
{
    QFETCH(QString, answer);
    QFETCH(int, number);
    QFETCH(QString, device);
    QFETCH(bool, valid);

    const std::optional<PortAnswer> parsed = PortAnswer::parse(answer);
    QCOMPARE(parsed.has_value(), valid);
    if (!parsed)
        return;
    QCOMPARE(parsed->number.value_or(-1), number);
    QCOMPARE(parsed->device, device);
}

void TestPortIdentity::find_data()
{
    using V = PortIdentity::Verdict;
    QTest::addColumn<SerialPortRecord>("lost");
    QTest::addColumn<QString>("resolvedPath"); // where the operator's name leads now
    QTest::addColumn<QList<SerialPortRecord>>("ports");
    QTest::addColumn<V>("verdict");
    QTest::addColumn<QString>("device");

    const QList<SerialPortRecord> none;
    QTest::newRow("serial number, back under another name")
        << kFtdiA << QString() << QList{kFtdiB, movedTo(kFtdiA, "/dev/ttyUSB2")} << V::Open
        << "/dev/ttyUSB2";
    QTest::newRow("serial number, not back")
        << kFtdiA << QString() << QList{kFtdiB} << V::Absent << QString();
    QTest::newRow("serial number, another adapter at the old path")
        << kFtdiA << "/dev/ttyUSB0" << QList{movedTo(kFtdiB, "/dev/ttyUSB0")} << V::NotOurs
        << QString();
    QTest::newRow("serial number, moved to another socket")
        << kFtdiA << QString() << QList{movedTo(kFtdiA, "/dev/ttyUSB3", "3-1:1.0")} << V::Open
        << "/dev/ttyUSB3";
    QTest::newRow("ids and socket, back under another name")
        << kPlain1 << QString() << QList{kPlain2, movedTo(kPlain1, "/dev/ttyUSB4")} << V::Open
        << "/dev/ttyUSB4";
    QTest::newRow("ids and socket, the twin in the other socket is not it")
        << kPlain1 << QString() << QList{kPlain2} << V::Absent << QString();
    QTest::newRow("ids and socket, twin at the old path")
        << kPlain1 << "/dev/ttyUSB0" << QList{movedTo(kPlain2, "/dev/ttyUSB0")} << V::NotOurs
        << QString();
    QTest::newRow("ids and socket, a cable with a serial number in its socket")
        << kPlain1 << QString() << QList{movedTo(kFtdiA, "/dev/ttyUSB5")} << V::Absent << QString();
    QTest::newRow("no identity, by the path the name resolves to")
        << kBuiltIn << "/dev/ttyS0" << QList{kBuiltIn} << V::Open << "/dev/ttyS0";
    QTest::newRow("no identity, a pseudo-terminal the listing does not know")
        << port("/dev/pts/3", "") << "/dev/pts/7" << none << V::Open << "/dev/pts/7";
    QTest::newRow("no identity, nothing at the path")
        << kBuiltIn << QString() << QList{kBuiltIn} << V::Absent << QString();
    QTest::newRow("no identity, an adapter with one now at the path")
        << port("/dev/pts/3", "") << "/dev/ttyUSB0" << QList{kFtdiA} << V::NotOurs << QString();
}

void TestPortIdentity::find()
{
    QFETCH(SerialPortRecord, lost);
    QFETCH(QString, resolvedPath);
    QFETCH(QList<SerialPortRecord>, ports);
    QFETCH(PortIdentity::Verdict, verdict);
    QFETCH(QString, device);

    const PortIdentity identity = PortIdentity::of(lost);
    const PortIdentity::Found found = identity.find(resolvedPath, ports);
    QCOMPARE(found.verdict, verdict);
    QCOMPARE(found.device, device);
}

QTEST_GUILESS_MAIN(TestPortIdentity)
#include "tst_portidentity.moc"
