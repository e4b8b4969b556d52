#pragma once

#include "INQCore.h"

#include <QtGlobal>

// The library's facade: makes nodes and hands out the packet registry.
class Q_DECL_EXPORT NQCore : public INQCore
{
public:
    static NQCore *getCore();

    INQNode *createNode() override;
    INQDataBuilder *getDataBuilder() override;
};
