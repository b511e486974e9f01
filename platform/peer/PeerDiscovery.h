#pragma once
// The browse datagrams: a request names a service type; an answer names the service type, the
// peer's display name, its session port and its discovery info. Both are small JSON objects; anything
// else (too long, not JSON, fields missing or of the wrong kind) is not a request or an answer.
#include <QByteArray>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace peer {

inline constexpr qint64 kMaxDatagram = 4096;

struct BrowseAnswer {
    std::string serviceType;
    std::string displayName;
    uint16_t port = 0;
    std::map<std::string, std::string> discoveryInfo;
};

QByteArray encodeBrowseRequest(const std::string& serviceType);
std::optional<std::string> parseBrowseRequest(const QByteArray& datagram);
QByteArray encodeBrowseAnswer(const std::string& serviceType, const std::string& displayName, uint16_t port,
                              const std::map<std::string, std::string>& discoveryInfo);
std::optional<BrowseAnswer> parseBrowseAnswer(const QByteArray& datagram);

} // namespace peer
