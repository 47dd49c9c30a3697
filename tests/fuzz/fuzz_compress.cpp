// The deflated connection under fuzzed server bytes: one status line, then up
// to six multi-line responses (header list or article, a bit each of the
// first byte), inflated on the way in. The third byte says what the rest is:
// odd, plain server text that is deflated here with flushes at fuzzed places;
// even, raw bytes taken as the deflate stream itself. The stream arrives in
// one-byte, 2048-byte and fuzzed pieces (second byte): all three must give the
// same results, every response must stay inside its buffer, and no response
// may bring more inflated bytes than the size bound. When the stream inflates
// cleanly, the results must be those of the inflated text read plainly.
#include "fuzz_check.h"

#include "commands.h"
#include "net.h"
#include "transport.h"

#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kResponses = 6;
constexpr std::size_t kBound = 256 * 1024;    // inflated bytes one response may bring
constexpr std::size_t kInflateCap = 4u << 20; // the reference inflates no further

class PiecePeer : public kvBytePeer {
  public:
    PiecePeer(const std::string& bytes, int plan, unsigned seed)
        : bytes(bytes), plan(plan), state(seed * 2654435761u + 1) {}
    long Receive(char* buffer, std::size_t room) override {
        if (at == bytes.size()) return 0;
        std::size_t piece = plan == 0 ? 1 : plan == 1 ? 2048 : NextSize();
        if (piece > room) piece = room;
        if (piece > bytes.size() - at) piece = bytes.size() - at;
        std::memcpy(buffer, bytes.data() + at, piece);
        at += piece;
        return static_cast<long>(piece);
    }

  private:
    std::size_t NextSize() {
        state = state * 1103515245u + 12345u;
        unsigned r = (state >> 16) & 0x7fff;
        return r % 4 == 0 ? 1 + r % 2100 : 1 + r % 40;
    }
    const std::string& bytes;
    std::size_t at = 0;
    int plan;
    unsigned state;
};

struct Outcome {
    long statusResult = 0;
    std::string status;
    std::vector<long> results;
    std::vector<std::string> texts;
};

Outcome Run(const std::string& bytes, bool inflate, unsigned modes, int plan, unsigned seed,
            kvBuffer& headers, kvBuffer& article) {
    PiecePeer peer(bytes, plan, seed);
    kvConnection conn;
    conn.peer = &peer;
    conn.maxResponseBytes = kBound;
    if (inflate) FUZZ_CHECK(StartCompressedStream(conn));
    Outcome out;
    char reply[512];
    out.statusResult = ReceiveStatusLine(conn, reply, sizeof reply);
    if (out.statusResult <= 0) return out;
    FUZZ_CHECK(strnlen(reply, sizeof reply) < sizeof reply);
    out.status = reply;
    for (int k = 0; k < kResponses; ++k) {
        bool isArticle = ((modes >> k) & 1) != 0;
        kvBuffer& dest = isArticle ? article : headers;
        long r = ReceiveMultiline(conn, dest, isArticle ? 220 : 221,
                                  isArticle ? kvResponseMode::Article : kvResponseMode::HeaderList);
        FUZZ_CHECK(conn.inputLength <= KV_RECEIVE_BUFFER_SIZE);
        FUZZ_CHECK(dest.length < dest.capacity && dest.data[dest.length] == '\0');
        FUZZ_CHECK(conn.responseBytes <= kBound || r == -1);
        if (conn.boundHit == kvBoundHit::ResponseSize) FUZZ_CHECK(r == -1);
        out.results.push_back(r);
        if (r != 1) break;
        out.texts.emplace_back(dest.data.get(), dest.length);
    }
    return out;
}

// Deflates `plain`, flushing (sync or full) wherever the seed's sequence says.
std::string Deflate(const std::uint8_t* plain, std::size_t size, unsigned seed) {
    z_stream z{};
    FUZZ_CHECK(deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) ==
               Z_OK);
    std::string out;
    unsigned state = seed * 2246822519u + 7;
    std::size_t at = 0;
    while (at < size) {
        state = state * 1103515245u + 12345u;
        std::size_t step = 1 + ((state >> 16) % 300);
        if (step > size - at) step = size - at;
        z.next_in = const_cast<Bytef*>(plain + at);
        z.avail_in = static_cast<uInt>(step);
        int flush = (state >> 8) % 3 == 0 ? Z_FULL_FLUSH : Z_SYNC_FLUSH;
        do {
            unsigned char chunk[4096];
            z.next_out = chunk;
            z.avail_out = sizeof chunk;
            deflate(&z, flush);
            out.append(reinterpret_cast<char*>(chunk), sizeof chunk - z.avail_out);
        } while (z.avail_out == 0);
        at += step;
    }
    deflateEnd(&z);
    return out;
}

// The stream inflated in one go; false when it is broken or ends with bytes
// after its end, or inflates beyond the cap.
bool InflateClean(const std::string& packed, std::string& plain) {
    z_stream z{};
    FUZZ_CHECK(inflateInit2(&z, -15) == Z_OK);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    int r = Z_OK;
    while (r == Z_OK && plain.size() < kInflateCap) {
        unsigned char chunk[16384];
        z.next_out = chunk;
        z.avail_out = sizeof chunk;
        r = inflate(&z, Z_SYNC_FLUSH);
        plain.append(reinterpret_cast<char*>(chunk), sizeof chunk - z.avail_out);
        if (r == Z_BUF_ERROR && z.avail_in == 0) r = Z_OK;
        if (z.avail_in == 0 && z.avail_out != 0) break;
    }
    bool clean =
        (r == Z_OK || (r == Z_STREAM_END && z.avail_in == 0)) && plain.size() < kInflateCap;
    inflateEnd(&z);
    return clean;
}

void Same(const Outcome& a, const Outcome& b) {
    FUZZ_CHECK((a.statusResult > 0) == (b.statusResult > 0));
    FUZZ_CHECK(a.status == b.status);
    FUZZ_CHECK(a.results == b.results);
    FUZZ_CHECK(a.texts == b.texts);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3 || size > 200000) return 0;
    unsigned modes = data[0];
    unsigned seed = data[1];
    bool plainGiven = (data[2] & 1) != 0;
    std::string packed = plainGiven
                             ? Deflate(data + 3, size - 3, seed)
                             : std::string(reinterpret_cast<const char*>(data + 3), size - 3);

    static kvBuffer headers, article;
    if (headers.capacity == 0) {
        FUZZ_CHECK(headers.Allocate(KV_HEADER_LIST_SIZE));
        FUZZ_CHECK(article.Allocate(KV_ARTICLE_BUFFER_SIZE));
    }
    Outcome bytewise = Run(packed, true, modes, 0, seed, headers, article);
    Outcome whole = Run(packed, true, modes, 1, seed, headers, article);
    Outcome mixed = Run(packed, true, modes, 2, seed, headers, article);
    Same(bytewise, whole);
    Same(bytewise, mixed);

    std::string plain;
    bool clean = InflateClean(packed, plain);
    if (plainGiven) {
        FUZZ_CHECK(clean);
        FUZZ_CHECK(plain == std::string(reinterpret_cast<const char*>(data + 3), size - 3));
    }
    if (clean) Same(whole, Run(plain, false, modes, 1, seed, headers, article));
    return 0;
}
