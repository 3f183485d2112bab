#pragma once

#include "server/httpmessage.h"

namespace server {

// Cuts HTTP/1.x requests out of a connection's bytes as they arrive, framing them as RFC 9112
// section 6 asks and refusing anything two readers could frame differently: after a failure
// the connection must end, since where the next request starts is no longer known. Nothing is
// held beyond the limits: a head longer than headBytes fails with 431, and a body is refused
// with 413 as soon as it is announced or seen to be larger than bodyBytes, before it is read.
class HttpRequestParser {
public:
    struct Limits {
        qsizetype headBytes = 8192;
        qsizetype bodyBytes = 4096;
    };
    enum class Status { NeedMore, Complete, Failed };

    explicit HttpRequestParser(Limits limits);

    // Consumes what it can from the front of `input`; after Complete the bytes of a following
    // request stay in it. After Failed, failure() is the status to answer with.
    Status parse(QByteArray& input);
    // The request read; the parser is ready for the next one.
    HttpRequest take();

    // Whether any byte of the current request has been consumed.
    bool started() const { return m_stage != Stage::Head; }
    // Once per request: its head asked for 100-continue and its body is acceptable.
    bool takeContinue();
    int failure() const { return m_failure; }
    // Method and path of the current request, once its request line has been read.
    const HttpRequest& current() const { return m_request; }

private:
    enum class Stage { Head, Length, ChunkSize, ChunkData, ChunkEnd, Trailer, Done };

    Status fail(int status);
    Status readHead(QByteArray& input);
    Status readRequestLine(const QByteArray& line);
    Status frame();
    Status readChunked(QByteArray& input);
    // Moves what is left of the announced length (or the chunk) from `input` into the body; true
    // once it is all there.
    bool takeRemaining(QByteArray& input);

    Limits m_limits;
    Stage m_stage = Stage::Head;
    HttpRequest m_request;
    qint64 m_remaining = 0; // body bytes still to come (Length) or left in this chunk
    qsizetype m_trailerBytes = 0;
    bool m_continue = false;
    int m_failure = 0;
};

} // namespace server
