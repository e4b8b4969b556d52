#pragma once

#include "IService.h"

// The service named "MainUIService". The framework calls StartMainUI and
// then RunMainUI, once each, on the thread that runs it, and tears itself
// down as soon as RunMainUI returns: the whole life of the user interface,
// its event loop included, lies within these two calls.
class IMainUIService : public IService
{
public:
    virtual void StartMainUI() = 0;
    virtual void RunMainUI() = 0;

protected:
    ~IMainUIService() = default;
};
