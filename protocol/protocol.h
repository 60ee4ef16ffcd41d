#ifndef GARBWRIGHT_SERVER_PROTOCOL_H
#define GARBWRIGHT_SERVER_PROTOCOL_H

// The wire protocol between the plug-in and the conversion server, shared by the client in
// this folder and by the stand-in server so that both sides read the same definitions.
//
// One TCP connection per request. The client sends one line ending in a line feed and
// never shuts down its sending side; the server answers and closes the connection, which
// is the only end-of-reply marker.

#include <chrono>
#include <cstddef>

namespace Protocol {

// The port the server listens on, on the local machine.
constexpr unsigned int serverPort = 12345;

// Requests. Each is exactly these bytes; nothing is added on the wire.
constexpr char probeRequest[] = "test\n";
constexpr char stopRequest[] = "stop\n";

// A conversion request is the fields geometry path, vendor, clothing and script path,
// each followed by the field terminator, then the request terminator.
constexpr char fieldTerminator = '#';
constexpr char requestTerminator = '\n';

// In a conversion reply, components of the converted file's path (relative to a content
// folder) are separated by this character; the reply may carry blanks and line feeds
// around it.
constexpr char replyPathSeparator = ':';

// The whole reply, after trimming, when the server converted nothing.
constexpr char errorReply[] = "Error";

// Bounds on one exchange. The server answers a probe or a stop at once, so a peer that
// takes longer than the short bound is not a working server. A conversion may take long
// (the real converter fits a whole garment), hence the generous bound; it still ends a
// peer that accepts and then never closes. Replies are a status line or a path, one byte
// per character; no platform allows a path of more than 32767 characters, so anything
// above the cap is a misbehaving peer, not a reply, and the host never holds more of it.
constexpr std::chrono::milliseconds probeTimeout{5000};
constexpr std::chrono::milliseconds conversionTimeout{120000};
constexpr std::size_t maxReplyBytes = 64u * 1024u;

} // namespace Protocol

#endif
