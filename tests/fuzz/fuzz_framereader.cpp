// The input is the byte stream of the line. It reaches the framer in chunks whose sizes, and
// the odd clear (the port closing), come from a generator seeded by the input itself, so that
// every input is also a new way of splitting. The frames out must be those a plain scan of the
// same bytes finds, whatever the chunks.
#include "link/framereader.h"
#include "link/linkprotocol.h"
#include "tests/fuzz/fuzzcheck.h"

#include <QHashFunctions>

#include <cstdint>
#include <random>

namespace {

using LinkProtocol::kEndChar;
using LinkProtocol::kFrameLength;
using LinkProtocol::kStartChar;

constexpr unsigned kChunkSizes = 24; // 0..23 bytes a feed
constexpr unsigned kClearOneIn = 32; // feeds

struct Scan
{
    QByteArrayList frames;
    qsizetype pending = 0;
};

// The framer's contract as the simplest scan over all the bytes at once: a "Q" whose ninth
// byte is a "Y" starts a frame, every other byte is passed over, and a short tail waits from
// its first "Q" on.
Scan scan(const QByteArray &bytes)
{
    Scan result;
    qsizetype i = 0;
    while (i + kFrameLength <= bytes.size()) {
        if (bytes[i] == kStartChar && bytes[i + kFrameLength - 1] == kEndChar) {
            result.frames.append(bytes.mid(i, kFrameLength));
            i += kFrameLength;
        } else {
            ++i;
        }
    }
    const qsizetype start = bytes.indexOf(kStartChar, i);
    result.pending = start < 0 ? 0 : bytes.size() - start;
    return result;
}

class Run
{
public:
    void feed(const QByteArray &bytes)
    {
        m_fed += bytes;
        for (const QByteArray &frame : m_reader.feed(bytes)) {
            check(frame.size() == kFrameLength, "a frame is nine bytes");
            check(frame.front() == kStartChar && frame.back() == kEndChar,
                  "a frame starts with Q and ends with Y");
            m_frames.append(frame);
        }
        check(m_reader.pendingSize() < kFrameLength, "at most eight bytes wait");
    }

    // Compares everything since the last clear with the plain scan, then clears as a close does.
    void settle()
    {
        const Scan expected = scan(m_fed);
        check(m_frames == expected.frames, "frames are those of a plain scan, in order");
        check(m_reader.pendingSize() == expected.pending, "the partial frame waits");
        m_dropped += quint64(m_fed.size() - expected.pending - m_frames.size() * kFrameLength);
        check(m_reader.droppedBytes() == m_dropped, "every byte is a frame's, waits or is dropped");
        m_reader.clear();
        m_fed.clear();
        m_frames.clear();
    }

private:
    FrameReader m_reader;
    QByteArray m_fed;
    QByteArrayList m_frames;
    quint64 m_dropped = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray stream(reinterpret_cast<const char *>(data), qsizetype(size));
    std::minstd_rand splits(unsigned(qHash(stream, 0)));
    Run run;
    qsizetype pos = 0;
    while (pos < stream.size()) {
        if (splits() % kClearOneIn == 0)
            run.settle();
        const qsizetype chunk = qsizetype(splits() % kChunkSizes);
        run.feed(stream.mid(pos, chunk));
        pos += chunk;
    }
    run.settle();
    return 0;
}
