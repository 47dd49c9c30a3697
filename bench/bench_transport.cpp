// Bytes per second through ReceiveMultiline when an in-memory peer hands out
// 2048-byte pieces of a header-list response, against a plain memcpy of the
// same bytes into the same destination.
#include "bench.h"
#include "transport.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

class MemoryPeer : public kvBytePeer {
  public:
    explicit MemoryPeer(const std::string& data) : data(data) {}
    void Rewind() { offset = 0; }
    long Receive(char* buffer, std::size_t size) override {
        std::size_t n = data.size() - offset;
        if (n == 0) return 0;
        if (n > size) n = size;
        std::memcpy(buffer, data.data() + offset, n);
        offset += n;
        return static_cast<long>(n);
    }

  private:
    const std::string& data;
    std::size_t offset = 0;
};

std::string HeaderListResponse() {
    std::string r = "221 Subject fields follow\r\n";
    for (int n = 1; n <= 500; ++n) {
        r += std::to_string(n) + " Re: a question about the new printer driver release " +
             std::to_string(n * 7919) + "\r\n";
        if (n % 40 == 0) r += ".." + std::to_string(n) + " dot-stuffed\r\n";
    }
    return r + ".\r\n";
}

} // namespace

void kvBench::ReceiveMultilineThroughput() {
    const std::string response = HeaderListResponse();
    kvBuffer dest;
    dest.Allocate(KV_HEADER_LIST_SIZE);
    MemoryPeer peer(response);
    kvConnection conn;
    conn.peer = &peer;

    long long bytes = 0;
    double start = Seconds(), elapsed = 0;
    do {
        peer.Rewind();
        conn.inputLength = 0;
        if (ReceiveMultiline(conn, dest, 221, kvResponseMode::HeaderList) != 1) {
            std::printf("receive: failed\n");
            return;
        }
        bytes += static_cast<long long>(response.size());
        elapsed = Seconds() - start;
    } while (elapsed < 0.5);
    double receiveRate = static_cast<double>(bytes) / elapsed;

    long long copied = 0;
    start = Seconds();
    do {
        for (std::size_t off = 0; off < response.size(); off += KV_RECEIVE_PIECE) {
            std::size_t n =
                response.size() - off < KV_RECEIVE_PIECE ? response.size() - off : KV_RECEIVE_PIECE;
            std::memcpy(dest.data.get() + off, response.data() + off, n);
        }
        sink = sink + dest.data[response.size() / 2];
        copied += static_cast<long long>(response.size());
        elapsed = Seconds() - start;
    } while (elapsed < 0.5);
    double copyRate = static_cast<double>(copied) / elapsed;

    std::printf("receive   : %.0f MB/s through ReceiveMultiline, %.0f MB/s memcpy (%.1fx), "
                "%zu-byte response in 2048-byte pieces\n",
                receiveRate / 1e6, copyRate / 1e6, copyRate / receiveRate, response.size());
}
