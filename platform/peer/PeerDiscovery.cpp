#include "platform/peer/PeerDiscovery.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "platform/peer/PeerID.h"

namespace peer {

namespace {
std::optional<QJsonObject> object(const QByteArray& datagram) {
    if (datagram.isEmpty() || datagram.size() > kMaxDatagram) return std::nullopt;
    QJsonParseError error{};
    const auto doc = QJsonDocument::fromJson(datagram, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
    return doc.object();
}
} // namespace

QByteArray encodeBrowseRequest(const std::string& serviceType) {
    QJsonObject o{{"browse", QString::fromStdString(serviceType)}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<std::string> parseBrowseRequest(const QByteArray& datagram) {
    auto o = object(datagram);
    if (!o || !o->value("browse").isString()) return std::nullopt;
    return o->value("browse").toString().toStdString();
}

QByteArray encodeBrowseAnswer(const std::string& serviceType, const std::string& displayName, uint16_t port,
                              const std::map<std::string, std::string>& discoveryInfo) {
    QJsonObject info;
    for (const auto& [k, v] : discoveryInfo)
        info.insert(QString::fromStdString(k), QString::fromStdString(v));
    QJsonObject o{{"serviceType", QString::fromStdString(serviceType)},
                  {"displayName", QString::fromStdString(displayName)},
                  {"port", int(port)},
                  {"info", info}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<BrowseAnswer> parseBrowseAnswer(const QByteArray& datagram) {
    auto o = object(datagram);
    if (!o || !o->value("serviceType").isString() || !o->value("displayName").isString() ||
        !o->value("port").isDouble())
        return std::nullopt;
    const double port = o->value("port").toDouble();
    if (port < 1 || port > 65535) return std::nullopt;
    BrowseAnswer a;
    a.serviceType = o->value("serviceType").toString().toStdString();
    a.displayName = truncateUtf8(o->value("displayName").toString().toStdString(), kMaxDisplayNameBytes);
    a.port = uint16_t(port);
    const QJsonObject info = o->value("info").toObject();
    for (auto it = info.begin(); it != info.end(); ++it)
        if (it.value().isString())
            a.discoveryInfo[it.key().toStdString()] = it.value().toString().toStdString();
    return a;
}

} // namespace peer
