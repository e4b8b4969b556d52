#include "FakeCore.h"

static FakeCore *theCore()
{
    static FakeCore core;
    return &core;
}

extern "C" INQCore *getNQCore()
{
    return theCore();
}

extern "C" FakeCore *fakeCore()
{
    return theCore();
}
