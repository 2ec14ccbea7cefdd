#include "PeWriter.h"

#include "gear/PeHeader.h"

#include <QtTest>

using gw::Architecture;
using gw::test::peFile;
using Bytes = std::vector<std::uint8_t>;

Q_DECLARE_METATYPE(Bytes)

class TestPeHeader : public QObject
{
    Q_OBJECT

private slots:
    void architecture_data()
    {
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<QString>("architecture");
        const auto row = [](const char* name, const Bytes& bytes, const char* architecture) {
            QTest::newRow(name) << bytes << QString(architecture);
        };
        row("x86", peFile(0x14C, 0x10B), "x86");
        row("x64", peFile(0x8664, 0x20B), "x64");
        row("arm64", peFile(0xAA64, 0x20B), "arm64");
        // IL only on an x86 header loads in either bitness; 32BITREQUIRED pins it to x86.
        row(".NET IL only", peFile(0x14C, 0x10B, 0x1), ".NET any CPU");
        row(".NET 32-bit required", peFile(0x14C, 0x10B, 0x3), ".NET x86");
        row(".NET mixed", peFile(0x14C, 0x10B, 0x0), ".NET x86");
        row(".NET PE32+", peFile(0x8664, 0x20B, 0x1), ".NET x64");
        row("PE32+ header on x86", peFile(0x14C, 0x20B), "not a Windows DLL");

        Bytes cut = peFile(0x14C, 0x10B, 0x1);
        cut.resize(0x50);
        row("truncated header", cut, "not a Windows DLL");
        const char html[] = "<!DOCTYPE html><html><body>Not found</body></html>\n";
        row("HTML page", Bytes(html, html + sizeof html - 1), "not a Windows DLL");
        Bytes farHeader = peFile(0x14C, 0x10B);
        farHeader[0x3F] = 0xFF; // the PE header's offset beyond the file
        row("PE offset past the end", farHeader, "not a Windows DLL");
        Bytes farClr = peFile(0x14C, 0x10B, 0x1);
        farClr[0x40 + 24 + 224 + 23] = 0xFF; // the section's file offset beyond the file
        row("CLR header past the end", farClr, "not a Windows DLL");
    }
    void architecture()
    {
        QFETCH(Bytes, bytes);
        QTEST(QString::fromStdString(gw::architectureText(gw::readArchitecture(bytes))), "architecture");
    }
};

QTEST_GUILESS_MAIN(TestPeHeader)
#include "tst_peheader.moc"
