#include "NQCore.h"

#include "NQCenterServer.h"
#include "NQDataBuilder.h"
#include "NQNode.h"

NQCore *NQCore::getCore()
{
    static NQCore core;
    return &core;
}

INQNode *NQCore::createNode()
{
    return new NQNode;
}

INQDataBuilder *NQCore::getDataBuilder()
{
    return NQDataBuilder::instance();
}

extern "C" Q_DECL_EXPORT INQCore *getNQCore()
{
    return NQCore::getCore();
}

extern "C" Q_DECL_EXPORT bool launchCenter()
{
    return NQCenterServer::instance()->launch();
}
