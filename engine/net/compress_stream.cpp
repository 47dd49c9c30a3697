#include "compress_stream.h"

#include <zlib.h>

#include <cstring>
#include <new>

struct kvCompressStream::State {
    z_stream out{};
    z_stream in{};
    bool outReady = false;
    bool inReady = false;
    bool ended = false;  // the peer's stream ended: any further byte is an error
    bool broken = false; // the stream was found invalid: nothing more inflates
    unsigned char input[KV_COMPRESSED_INPUT_SIZE];
    std::size_t start = 0; // the first byte not yet inflated
    std::size_t length = 0;

    ~State() {
        if (outReady) deflateEnd(&out);
        if (inReady) inflateEnd(&in);
    }
};

kvCompressStream::kvCompressStream() : state(new (std::nothrow) State()) {
    if (!state) return;
    // Negative window bits: raw deflate, as the news protocol's compression uses.
    state->outReady = deflateInit2(&state->out, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8,
                                   Z_DEFAULT_STRATEGY) == Z_OK;
    state->inReady = inflateInit2(&state->in, -15) == Z_OK;
}

kvCompressStream::~kvCompressStream() = default;

bool kvCompressStream::Ready() const {
    return state && state->outReady && state->inReady;
}

bool kvCompressStream::Deflate(const char* data, std::size_t length, std::string& out) {
    if (!Ready()) return false;
    z_stream& z = state->out;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z.avail_in = static_cast<uInt>(length);
    unsigned char chunk[1024];
    // A sync flush ends on a byte boundary with all input out: the command
    // reaches the server whole, not when later bytes happen to push it out.
    do {
        z.next_out = chunk;
        z.avail_out = sizeof chunk;
        int r = deflate(&z, Z_SYNC_FLUSH);
        if (r != Z_OK && r != Z_BUF_ERROR) return false;
        out.append(reinterpret_cast<char*>(chunk), sizeof chunk - z.avail_out);
    } while (z.avail_out == 0 || z.avail_in > 0);
    return true;
}

char* kvCompressStream::InputSpace(std::size_t& room) {
    if (!state) {
        room = 0;
        return nullptr;
    }
    State& s = *state;
    if (s.start > 0) {
        std::memmove(s.input, s.input + s.start, s.length);
        s.start = 0;
    }
    room = sizeof s.input - s.length;
    return reinterpret_cast<char*>(s.input + s.length);
}

void kvCompressStream::InputAdded(std::size_t count) {
    state->length += count;
}

long kvCompressStream::Inflate(char* out, std::size_t size) {
    if (!Ready()) return -1;
    State& s = *state;
    if (s.broken) return -1;
    if (s.ended) return s.length > 0 ? -1 : 0;
    if (s.length == 0 || size == 0) return 0;
    z_stream& z = s.in;
    z.next_in = s.input + s.start;
    z.avail_in = static_cast<uInt>(s.length);
    z.next_out = reinterpret_cast<Bytef*>(out);
    z.avail_out = static_cast<uInt>(size);
    int r = inflate(&z, Z_SYNC_FLUSH);
    std::size_t used = s.length - z.avail_in;
    s.start += used;
    s.length -= used;
    long made = static_cast<long>(size - z.avail_out);
    if (r == Z_STREAM_END) {
        // What came before the end is good; bytes after it fail the next call.
        s.ended = true;
        if (made > 0) return made;
        return s.length > 0 ? -1 : 0;
    }
    if (r == Z_OK || r == Z_BUF_ERROR) return made;
    // Z_DATA_ERROR (corrupt), Z_NEED_DICT, Z_MEM_ERROR. The bytes inflated
    // before the fault are good: they are handed out first, however the
    // stream was split, and the next call fails.
    s.broken = true;
    return made > 0 ? made : -1;
}
