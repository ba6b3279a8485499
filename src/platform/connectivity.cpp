#include "platform/connectivity.h"

#include <QNetworkInformation>

NetworkInformationConnectivity::NetworkInformationConnectivity()
{
    if (!QNetworkInformation::instance())
        QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
}

bool NetworkInformationConnectivity::InternetGetConnectedState(int* flags)
{
    if (flags)
        *flags = 0;
    const QNetworkInformation* info = QNetworkInformation::instance();
    if (!info)
        return true;
    return info->reachability() != QNetworkInformation::Reachability::Disconnected;
}
