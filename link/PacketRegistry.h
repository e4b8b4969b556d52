#pragma once

#include "INQCore.h"

// The messaging core as the packet registration binds it; null when the
// messaging library could not be loaded.
INQCore *packetRegistryCore();

// Makes the link's packets known to the data builder of this process. Call it
// before the process starts its first link node: the builder's table is read
// on the nodes' own threads.
void registerPacketCreators();

// Makes the link's packets unknown again; received ones are dropped from then
// on. Call it only once no link node delivers any more.
void unregisterPacketCreators();
