// The byte stream of one connection to vesk-fleetd, as the connection front frames it into
// requests. The first byte picks how the stream is cut into reads, the rest is the stream.
#include "FuzzTarget.h"

#include "fleetd/http/RequestFraming.h"

VESK_FUZZ_TARGET(request_framing)
{
    using vesk::fleetd::RequestFraming;
    if (input.isEmpty())
        return;
    const qsizetype readSize = 1 + (static_cast<unsigned char>(input.front()) % 64);
    const QByteArray stream = input.mid(1);
    RequestFraming framing(1024);
    for (qsizetype start = 0; start < stream.size(); start += readSize) {
        const qsizetype size = std::min(readSize, stream.size() - start);
        const char *data = stream.constData() + start;
        qsizetype offset = 0;
        while (true) {
            const qsizetype before = offset;
            const RequestFraming::Event event = framing.advance(data, size, &offset);
            VESK_FUZZ_CHECK(offset >= before && offset <= size);
            if (event == RequestFraming::Event::Error) {
                VESK_FUZZ_CHECK(framing.errorStatus() >= 400);
                return;
            }
            if (event == RequestFraming::Event::NeedMore) {
                VESK_FUZZ_CHECK(offset == size);
                break;
            }
            if (event == RequestFraming::Event::HeadReady) {
                const RequestFraming::Head &head = framing.head();
                VESK_FUZZ_CHECK(!head.contentLength || *head.contentLength >= 0);
            }
        }
    }
}
