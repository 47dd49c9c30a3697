// Raw deflate (no zlib or gzip framing, a 32 KB window) in both directions of
// a news connection once the server agreed to COMPRESS DEFLATE. Knows bytes
// only: the network layer feeds it what the socket or TLS delivered and takes
// out what is to go there (see net.h).
//
// Incoming bytes are inflated in bounded steps: each Inflate call writes at
// most the room it is given, however far the compressed input would expand,
// so a stream built to expand without end is read piece by piece and stopped
// by the size bound of the response being read, never by running out of memory.
// Used only by the thread that runs the search.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

// Compressed bytes held at most before they are inflated.
constexpr std::size_t KV_COMPRESSED_INPUT_SIZE = 4096;

class kvCompressStream {
  public:
    kvCompressStream();
    ~kvCompressStream();
    kvCompressStream(const kvCompressStream&) = delete;
    kvCompressStream& operator=(const kvCompressStream&) = delete;

    // False when zlib could not be set up (memory short): the stream is unusable.
    bool Ready() const;

    // Compresses `length` bytes and appends them to `out`, flushed to a byte
    // boundary so that the peer can read all of them at once. False when zlib failed.
    bool Deflate(const char* data, std::size_t length, std::string& out);

    // Where received compressed bytes go, and how many fit (0: full until
    // Inflate takes some).
    char* InputSpace(std::size_t& room);
    void InputAdded(std::size_t count);
    // Inflates into `out`, at most `size` bytes. The bytes written (> 0); 0
    // when more compressed input is needed first; -1 when the input is not a
    // valid deflate stream or goes on past the stream's end.
    long Inflate(char* out, std::size_t size);

    // Outgoing bytes already compressed but not yet taken by the connection,
    // and how many plain bytes they stand for (see NetTrySend).
    std::string pending;
    std::size_t heldPlain = 0;

  private:
    struct State;
    std::unique_ptr<State> state;
};
