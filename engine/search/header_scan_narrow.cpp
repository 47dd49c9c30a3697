#include "header_scan_steps.h"

#include "article_store.h"
#include "commands.h"

kvHeaderScan::kvChunk kvHeaderScan::XpatChunk(long low, long high) {
    xpatLines.Clear();
    for (std::size_t asked = 0; asked < wildmats.size();) {
        int code = 0;
        kvAnswer answer = ReceiveAnswer(code);
        if (answer == kvAnswer::Failed) return kvChunk::Failed;
        if (answer == kvAnswer::AskAgain) {
            sendHigh = high; // the whole chunk again, and those after it
            sendNumber = 0;
            allSent = false;
            return kvChunk::Again;
        }
        // Refused, or lines the server should not have listed: the chunk
        // is listed whole, before any of its lines was matched.
        if (IsRefusal(code) ||
            (code == 221 && !xpatLines.Add(headerList.data.get(), headerList.length, low, high)))
            return StopFiltering(high) ? kvChunk::Again : kvChunk::Failed;
        if (code != 221) {
            s.QuitAndClose();
            s.Fail("ERROR requesting article headers");
            return kvChunk::Failed;
        }
        ++asked;
    }
    xpatLines.Merge();
    char line[KV_HEADER_LINE_MAX + 1];
    // Never more matches than numbers scanned, whatever the lists before said.
    for (std::size_t i = 0; i < xpatLines.Count() && found.Total() < headerLimit; ++i)
        Consider(xpatLines.Number(i), xpatLines.Value(i, line, sizeof line));
    return kvChunk::Done;
}

kvHeaderScan::kvChunk kvHeaderScan::HeadChunk(long low, long high) {
    bool seen = false; // an article here has the header
    char value[KV_HEADER_LINE_MAX + 1];
    // Counted in long long: the last number of a group may be LONG_MAX.
    for (long long number = low; number <= high;) {
        int code = 0;
        kvAnswer answer = ReceiveAnswer(code);
        if (answer == kvAnswer::Failed) return kvChunk::Failed;
        if (answer == kvAnswer::AskAgain) {
            sendHigh = high; // this article again, and those after it
            sendNumber = static_cast<long>(number);
            allSent = false;
            continue;
        }
        ++number;
        if (code == 423 || code == 430) continue; // no such article: passed over
        if (code != 221) {
            s.QuitAndClose();
            s.Fail("ERROR requesting article headers");
            return kvChunk::Failed;
        }
        // A NUL would cut the header block short: it is left out.
        CopyWithoutNul(headerList.data.get(), headerList.capacity, headerList.data.get(),
                       headerList.length);
        if (scanned >= headerLimit) continue; // read, not examined
        ++scanned;
        if (FindHeadValue(headerList.data.get(), req.header, value, sizeof value)) {
            seen = true;
            Consider(static_cast<long>(number - 1), value);
        }
    }
    if (checking) {
        checking = false;
        sendFloor = lowest;
        allSent = low <= lowest;
        sendHigh = low - 1;
        sendNumber = 0;
        if (seen) {
            HeadFromNowOn();
        } else {
            // The empty list was true: lists are trusted from here on.
            source = listSource;
            trustEmpty = true;
            FilterFromNowOn();
        }
    }
    return kvChunk::Done;
}

void kvHeaderScan::FilterFromNowOn() {
    if (wildmats.empty() || source == kvSource::Head) return;
    listSource = source;
    source = kvSource::Xpat;
}

bool kvHeaderScan::StopFiltering(long high) {
    if (!Restart(high)) return false;
    wildmats.clear();
    source = listSource;
    return true;
}
