#include "platform/connectivity.h"

#include <QNetworkInformation>

NetworkInformationConnectivity::NetworkInformationConnectivity()
{
    if (!QNetworkInformation::instance())
        QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
}

OnlineState NetworkInformationConnectivity::onlineState()
{
    const QNetworkInformation* info = QNetworkInformation::instance();
    if (!info)
        return {};
    return {info->reachability() != QNetworkInformation::Reachability::Disconnected, false};
}
